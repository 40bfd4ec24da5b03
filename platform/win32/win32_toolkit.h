#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/windows_api.h"
#include "ui/toolkit.h"

namespace velorin::win32 {

// The windowing port on the Win32 API, for a person at a Windows desktop. Every
// call comes on the thread that made the toolkit: the host's user-interface
// thread, in its single-threaded apartment.
//
// Windows: a modal show builds a dialog from the window's model (Win32Window),
// runs a message loop of its own until the window is hidden or unloaded, and
// destroys the dialog; the model keeps every state between shows. A top-level
// show disables no owner (the host's windows are not ours to disable); a window
// shown from inside another of ours is owned by it, which stays disabled until
// the inner one ends.
//
// Message boxes are MessageBoxW, owned by the innermost dialog of ours being
// shown, otherwise by the thread's active window, otherwise task-modal.
//
// Pumping and Esc: see message_pump.h. DoEvents pumps; TakeEscPress pumps, then
// takes one queued Esc press.
//
// Numbers: the user's regional settings (locale_numbers.h), read at each call.
//
// Every window procedure runs through the error edge (Toolkit::RunAtEdge), so
// nothing unwinds through the system's window code.
class Win32Toolkit final : public ui::Toolkit {
  public:
    Win32Toolkit();
    ~Win32Toolkit() override = default;
    Win32Toolkit(const Win32Toolkit&) = delete;
    Win32Toolkit(Win32Toolkit&&) = delete;
    Win32Toolkit& operator=(const Win32Toolkit&) = delete;
    Win32Toolkit& operator=(Win32Toolkit&&) = delete;

    void DoEvents() override;
    std::optional<double> ParseNumber(std::string_view text) override;
    std::string FormatNumber(double value) override;
    bool TakeEscPress() override;

    // The innermost dialog of ours being shown modally, or null.
    HWND ActiveDialog() const noexcept;

  protected:
    void RunModal(ui::Window& window) override;
    ui::MsgResult ShowMessageBox(const ui::MessageBoxRequest& request) override;
    void SleepFor(std::int32_t milliseconds) override;

  private:
    std::vector<HWND> m_shownDialogs;  // innermost last
};

}  // namespace velorin::win32
