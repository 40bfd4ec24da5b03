#include "tests/win32/person.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <exception>
#include <utility>

namespace velorin::win32test {

namespace {

constexpr DWORD kStep = 10;           // milliseconds between looks
constexpr UINT kSendTimeout = 10000;  // milliseconds for one sent message
constexpr std::wstring_view kDialogClass = L"#32770";

class Locked {
  public:
    explicit Locked(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~Locked() { ReleaseSRWLockExclusive(&m_lock); }
    Locked(const Locked&) = delete;
    Locked(Locked&&) = delete;
    Locked& operator=(const Locked&) = delete;
    Locked& operator=(Locked&&) = delete;

  private:
    SRWLOCK& m_lock;
};

std::wstring ClassOf(HWND window) {
    std::array<wchar_t, 64> name{};
    const int length = GetClassNameW(window, name.data(), static_cast<int>(name.size()));
    return std::wstring(name.data(), static_cast<std::size_t>(std::max(length, 0)));
}

BOOL CALLBACK CollectShownDialog(HWND window, LPARAM list) {
    if (IsWindowVisible(window) && ClassOf(window) == kDialogClass) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    }
    return TRUE;
}

std::vector<HWND> ShownDialogs(DWORD thread) {
    std::vector<HWND> windows;
    EnumThreadWindows(thread, &CollectShownDialog, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool IsIcon(HWND child) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
    return (style & SS_TYPEMASK) == SS_ICON;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM list) {
    if (ClassOf(child) == L"Static") {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    }
    return TRUE;
}

std::vector<HWND> Statics(HWND box) {
    std::vector<HWND> statics;
    EnumChildWindows(box, &CollectStatic, reinterpret_cast<LPARAM>(&statics));
    return statics;
}

}  // namespace

std::string Describe(std::wstring_view text) {
    std::string narrow;
    for (const wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            narrow += static_cast<char>(c);
        } else {
            std::array<char, 8> digits{};
            const auto end = std::to_chars(digits.data(), digits.data() + digits.size(),
                                           static_cast<unsigned>(c), 16)
                                 .ptr;
            narrow += "\\x" + std::string(digits.data(), end) + ";";
        }
    }
    return narrow;
}

Person::Person(DWORD uiThread, Script script) : m_uiThread(uiThread), m_script(std::move(script)) {
    m_thread = CreateThread(nullptr, 0, &Person::Run, this, 0, nullptr);
    if (m_thread == nullptr) {
        Record("the person's thread could not start", true);
    }
}

Person::~Person() { Finish(); }

void Person::Finish() {
    m_finishing = true;
    if (m_thread != nullptr) {
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
}

std::vector<std::string> Person::Failures() const {
    const Locked locked(m_lock);
    return m_failures;
}

std::vector<std::string> Person::Log() const {
    const Locked locked(m_lock);
    return m_log;
}

void Person::Record(const std::string& line, bool failure) {
    const Locked locked(m_lock);
    (failure ? m_failures : m_log).push_back(line);
}

DWORD WINAPI Person::Run(void* self) {
    auto& person = *static_cast<Person*>(self);
    try {
        person.m_script(person);
    } catch (const ScriptFailed&) {
    } catch (const std::exception& error) {
        person.Record(std::string("the script raised: ") + error.what(), true);
    } catch (...) {
        person.Record("the script raised", true);
    }
    person.Watch();
    return 0;
}

void Person::Watch() {
    while (!m_finishing) {
        for (HWND window : ShownDialogs(m_uiThread)) {
            const std::wstring caption = TextOf(window);
            const std::wstring text = BoxText(window);
            Record("unexpected window \"" + Describe(caption) + "\"" +
                       (text.empty() ? "" : ": " + Describe(text)),
                   true);
            // A box's escape button (Cancel, or OK when alone) and a dialog's
            // close box both end them.
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            PostMessageW(window, WM_CLOSE, 0, 0);
            const DWORD start = GetTickCount();
            while (IsWindow(window) && IsWindowVisible(window) &&
                   GetTickCount() - start < kPatience && !m_finishing) {
                Sleep(kStep);
            }
        }
        Sleep(kStep);
    }
}

LRESULT Person::Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, kSendTimeout, &result) ==
        0) {
        Fail("no answer to window message " + std::to_string(message));
    }
    return static_cast<LRESULT>(result);
}

HWND Person::WaitForWindow(std::wstring_view caption) {
    const DWORD start = GetTickCount();
    // Once the code under test has returned, no window of its can still come.
    while (GetTickCount() - start < kPatience && !m_finishing) {
        for (HWND window : ShownDialogs(m_uiThread)) {
            if (TextOf(window) == caption) {
                Record("window \"" + Describe(caption) + "\"", false);
                return window;
            }
        }
        Sleep(kStep);
    }
    std::string shown;
    for (HWND window : ShownDialogs(m_uiThread)) {
        shown += " \"" + Describe(TextOf(window)) + "\"";
    }
    Fail("no window \"" + Describe(caption) + "\" appeared (shown:" + shown + ")");
}

void Person::WaitUntilGone(HWND window) {
    const DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start >= kPatience || m_finishing) {
            Fail("window \"" + Describe(TextOf(window)) + "\" stayed");
        }
        Sleep(kStep);
    }
}

std::wstring Person::TextOf(HWND window) {
    std::array<wchar_t, 1024> text{};
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                            SMTO_NORMAL, kSendTimeout, &copied) == 0) {
        return {};
    }
    return std::wstring(text.data(), std::min<std::size_t>(copied, text.size() - 1));
}

std::wstring Person::BoxText(HWND box) {
    // A message box's message is its one static control that is not the icon.
    for (HWND child : Statics(box)) {
        if (!IsIcon(child)) {
            std::wstring text = TextOf(child);
            if (!text.empty()) {
                return text;
            }
        }
    }
    return {};
}

bool Person::BoxHasIcon(HWND box) {
    // The icon's static control may be there, empty, when the box has none.
    for (HWND child : Statics(box)) {
        if (IsIcon(child) && IsWindowVisible(child) && Send(child, STM_GETICON, 0, 0) != 0) {
            return true;
        }
    }
    return false;
}

void Person::Answer(HWND box, int button) {
    HWND pressed = GetDlgItem(box, button);
    if (pressed == nullptr) {
        Fail("the box \"" + Describe(TextOf(box)) + "\" has no button " + std::to_string(button));
    }
    Record("answer " + std::to_string(button), false);
    PostMessageW(pressed, BM_CLICK, 0, 0);
    WaitUntilGone(box);
}

HWND Person::Item(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    if (item == nullptr) {
        Fail("the dialog \"" + Describe(TextOf(dialog)) + "\" has no control " +
             std::to_string(id));
    }
    return item;
}

void Person::Pick(HWND dialog, int id, std::wstring_view entry) {
    HWND list = Item(dialog, id);
    const std::wstring text(entry);
    const auto index = Send(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(text.c_str()));
    if (index == CB_ERR) {
        Fail("the list " + std::to_string(id) + " has no entry \"" + Describe(entry) + "\"");
    }
    Record("pick " + Describe(entry), false);
    Send(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Send(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void Person::Type(HWND dialog, int id, std::wstring_view text) {
    const std::wstring typed(text);
    Record("type " + Describe(text), false);
    Send(Item(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
}

void Person::Click(HWND dialog, int id) {
    Record("click " + std::to_string(id), false);
    PostMessageW(Item(dialog, id), BM_CLICK, 0, 0);
}

void Person::Fail(const std::string& what) {
    Record(what, true);
    throw ScriptFailed{};
}

}  // namespace velorin::win32test
