#include "ui/toolkit.h"

#include <exception>

#include "ui/runtime_error.h"
#include "ui/window.h"

namespace velorin::ui {

void Toolkit::ShowModal(Window& window) {
    window.BeginModal();
    class EndModal {
      public:
        explicit EndModal(Window& shown) : m_window(shown) {}
        ~EndModal() { m_window.EndModal(); }
        EndModal(const EndModal&) = delete;
        EndModal(EndModal&&) = delete;
        EndModal& operator=(const EndModal&) = delete;
        EndModal& operator=(EndModal&&) = delete;

      private:
        Window& m_window;
    };
    const EndModal end(window);
    // The load handler may already have hidden or unloaded the window.
    if (window.Visible() && window.Loaded()) {
        RunModal(window);
    }
}

MsgResult Toolkit::MsgBox(std::string_view text, MsgButtons buttons, MsgIcon icon,
                          std::string_view title) {
    const MessageBoxRequest request{
        .text = std::string(text),
        .title = std::string(title.empty() ? kLibraryName : title),
        .buttons = buttons,
        .icon = icon,
    };
    const MsgResult result = ShowMessageBox(request);
    return buttons == MsgButtons::OkOnly ? MsgResult::Ok : result;
}

void Toolkit::ReportError(const velorin::Error& error) { MsgBox(ErrorMessageText(error)); }

void Toolkit::RunAtEdge(const std::function<void()>& action) {
    std::exception_ptr caught;
    try {
        action();
        return;
    } catch (const EdgeExempt&) {
        throw;
    } catch (...) {
        caught = std::current_exception();
    }
    try {
        ReportError(ErrorOfException(caught));
    } catch (const EdgeExempt&) {
        throw;
    } catch (...) {
        // The box itself failed: nobody can be told, and the caller must still
        // get control back.
    }
}

void Toolkit::Sleep(std::int32_t milliseconds) { SleepFor(milliseconds < 0 ? 0 : milliseconds); }

}  // namespace velorin::ui
