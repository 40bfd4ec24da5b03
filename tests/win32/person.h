#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/windows_api.h"

// A person at the desktop for the Windows test programs: from a thread of its
// own it waits for the windows that the thread under test shows (dialogs and
// message boxes, found by caption), reads them and acts on them with window
// messages, as the keyboard and mouse would.
//
// Nothing can hang a test: every wait gives up after kPatience and records a
// failure; once the script ends (or fails) the person keeps watching, and any
// window still shown or shown later is recorded as unexpected and dismissed, so
// the code under test always gets its call back.
namespace velorin::win32test {

class Person {
  public:
    using Script = std::function<void(Person&)>;

    static constexpr DWORD kPatience = 20000;  // milliseconds

    // Starts acting at once on the windows of `uiThread`.
    Person(DWORD uiThread, Script script);
    // Finish()es.
    ~Person();
    Person(const Person&) = delete;
    Person(Person&&) = delete;
    Person& operator=(const Person&) = delete;
    Person& operator=(Person&&) = delete;

    // Call when the code under test has returned: waits for the script to end
    // and stops watching. Idempotent.
    void Finish();
    // What went wrong: script failures and unexpected windows, in order.
    std::vector<std::string> Failures() const;
    // What the person saw and did, one line each ("box Velorin: Finished ...").
    std::vector<std::string> Log() const;

    // --- For the script, on the person's thread ----------------------------
    // The shown top-level dialog or box of the thread under test with exactly
    // this caption.
    HWND WaitForWindow(std::wstring_view caption);
    void WaitUntilGone(HWND window);
    // The message of a message box (its text control).
    std::wstring BoxText(HWND box);
    // Whether the box shows an icon.
    bool BoxHasIcon(HWND box);
    // Presses a button of a message box (IDOK, IDCANCEL) and waits for the box to go.
    void Answer(HWND box, int button);
    // A dialog's control by its id, and its text as shown.
    HWND Item(HWND dialog, int id);
    std::wstring TextOf(HWND window);
    // Picks an entry of a drop-down list as a person does: the selection moves
    // and the dialog hears CBN_SELCHANGE.
    void Pick(HWND dialog, int id, std::wstring_view entry);
    // Replaces an edit's text (WM_SETTEXT; the dialog hears EN_CHANGE).
    void Type(HWND dialog, int id, std::wstring_view text);
    // Clicks a button or check box (BM_CLICK), without waiting for what follows.
    void Click(HWND dialog, int id);
    // Records a failure and ends the script.
    [[noreturn]] void Fail(const std::string& what);

  private:
    static DWORD WINAPI Run(void* self);
    void Record(const std::string& line, bool failure);
    // Dismisses every window of the thread under test (answering boxes with
    // their escape button, closing dialogs) until Finish.
    void Watch();
    LRESULT Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    DWORD m_uiThread;
    Script m_script;
    HANDLE m_thread = nullptr;
    std::atomic<bool> m_finishing{false};
    // GCC 12 with win32 threads has no std::mutex.
    mutable SRWLOCK m_lock = SRWLOCK_INIT;
    std::vector<std::string> m_failures;
    std::vector<std::string> m_log;
};

// Thrown by Person::Fail to end a script; caught by the person's thread.
struct ScriptFailed {};

// Describes a UTF-16 text for a failure message (ASCII kept, the rest as codes).
std::string Describe(std::wstring_view text);

}  // namespace velorin::win32test
