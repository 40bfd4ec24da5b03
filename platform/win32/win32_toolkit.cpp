#include "platform/win32/win32_toolkit.h"

#include <string>

#include "platform/win32/locale_numbers.h"
#include "platform/win32/message_pump.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_window.h"

namespace velorin::win32 {

Win32Toolkit::Win32Toolkit() {
    // The tooltip control lives in comctl32, which registers its classes only
    // when asked. Repeating the call is harmless.
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&classes);
}

void Win32Toolkit::DoEvents() { PumpPendingMessages(); }

std::optional<double> Win32Toolkit::ParseNumber(std::string_view text) {
    return ParseLocaleNumber(text, UserNumberSymbols());
}

std::string Win32Toolkit::FormatNumber(double value) {
    return FormatLocaleNumber(value, UserNumberSymbols());
}

bool Win32Toolkit::TakeEscPress() {
    PumpPendingMessages();
    return TakeQueuedEscPress();
}

HWND Win32Toolkit::ActiveDialog() const noexcept {
    return m_shownDialogs.empty() ? nullptr : m_shownDialogs.back();
}

void Win32Toolkit::RunModal(ui::Window& window) {
    Win32Window dialog(window, *this, ActiveDialog());
    class Shown {
      public:
        Shown(std::vector<HWND>& dialogs, HWND dialog) : m_dialogs(dialogs) {
            m_dialogs.push_back(dialog);
        }
        ~Shown() { m_dialogs.pop_back(); }
        Shown(const Shown&) = delete;
        Shown(Shown&&) = delete;
        Shown& operator=(const Shown&) = delete;
        Shown& operator=(Shown&&) = delete;

      private:
        std::vector<HWND>& m_dialogs;
    };
    const Shown shown(m_shownDialogs, dialog.Dialog());
    dialog.RunModal();
}

ui::MsgResult Win32Toolkit::ShowMessageBox(const ui::MessageBoxRequest& request) {
    HWND owner = ActiveDialog();
    if (owner == nullptr) {
        owner = GetActiveWindow();
    }
    UINT style = request.buttons == ui::MsgButtons::OkCancel ? MB_OKCANCEL : MB_OK;
    if (request.icon == ui::MsgIcon::Critical) {
        style |= MB_ICONERROR;
    }
    if (owner == nullptr) {
        // No window of the thread to own the box: it still keeps the thread's
        // other windows from taking input while it is up.
        style |= MB_TASKMODAL;
    }
    const std::wstring text = Widen(request.text);
    const std::wstring title = Widen(request.title);
    const int pressed = MessageBoxW(owner, text.c_str(), title.c_str(), style);
    // A box that could not be shown answers nothing: Cancel, the safe reading of
    // an OK and Cancel box (an OK-only box gives Ok whatever is returned).
    return pressed == IDOK ? ui::MsgResult::Ok : ui::MsgResult::Cancel;
}

void Win32Toolkit::SleepFor(std::int32_t milliseconds) {
    ::Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace velorin::win32
