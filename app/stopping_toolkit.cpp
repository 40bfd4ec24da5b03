#include "app/stopping_toolkit.h"

namespace velorin::app {

namespace {

// A toolkit's modal loop is protected: the public ShowModal around it has
// already marked the window modal, and must not do so twice. A pointer to the
// member, named through a class derived from Toolkit, reaches the inner one's.
struct ModalLoop : ui::Toolkit {
    static void Run(ui::Toolkit& toolkit, ui::Window& window) {
        (toolkit.*&ModalLoop::RunModal)(window);
    }
};

}  // namespace

void StoppingToolkit::RunModal(ui::Window& window) { ModalLoop::Run(m_inner, window); }

ui::MsgResult StoppingToolkit::ShowMessageBox(const ui::MessageBoxRequest& request) {
    if (m_stopped) {
        return request.buttons == ui::MsgButtons::OkCancel ? ui::MsgResult::Cancel
                                                           : ui::MsgResult::Ok;
    }
    return m_inner.MsgBox(request.text, request.buttons, request.icon, request.title);
}

}  // namespace velorin::app
