#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/window.h"
#include "ui/window_mirror.h"

class QDialog;
class QEventLoop;
class QWidget;

namespace velorin::qt {

class QtToolkit;

// The Qt dialog of one window model while a toolkit shows it. Built from the
// model's present state (its layout as changed so far: a form fills its lists
// before the show), it then mirrors every change of the model live, whoever made
// it, and forwards what the person does into the model:
//   - a pick in a drop-down list sets its current entry, which fires the list's
//     click, also when the person re-picks the entry already current;
//   - typing sets a text box's text (cut at its maximum length, as the model cuts);
//   - a click on a check box sets its value; a click on a button clicks it;
//   - Enter presses the default button (Window::PressEnter), Esc the cancel button
//     (Window::PressEsc) when the layout has one: a dialog's Cancel is not bound
//     to Esc otherwise;
//   - the close box unloads the window.
// Errors the model's handlers raise meanwhile are shown by the toolkit's edge.
//
// Geometry: twips at 15 per pixel (kTwipsPerPixel); each control sits in its
// frame (a QGroupBox) or on the dialog. The window has a fixed border unless its
// layout is resizable, a minimise and maximise button only when the layout asks
// for them, the shared window icon and the dialog font; it is centred on the
// screen when the layout says so.
//
// The object names of the dialog and of each widget are the model's names
// ("frmZoomFlash", "cboLyr1"). The QtWindow borrows the window and the toolkit and
// must not outlive either; while it lives it is the window's observer.
class QtWindow final : public ui::WindowMirror {
  public:
    QtWindow(ui::Window& window, QtToolkit& toolkit);
    ~QtWindow() override;
    QtWindow(const QtWindow&) = delete;
    QtWindow(QtWindow&&) = delete;
    QtWindow& operator=(const QtWindow&) = delete;
    QtWindow& operator=(QtWindow&&) = delete;

    QDialog& Dialog() const;
    // The widget mirroring a control of the window; null for a control of another
    // window or a name no control has.
    QWidget* Widget(const ui::Control& control) const;
    QWidget* Widget(std::string_view name) const;

    // Shows the dialog application-modal and runs a nested event loop until the
    // model is hidden or unloaded. Should the application quit meanwhile (every
    // event loop ends then), the model is hidden, so its show ends the way a
    // dismissed dialog's does. Returns at once when the model is not shown.
    void RunModal();

  private:
    class ModelDialog;
    struct Mirror {
        ui::Control* control = nullptr;
        QWidget* widget = nullptr;
    };

    QWidget* Build(ui::Control& control);
    QWidget* MakeWidget(ui::Control& control, QWidget* parent);
    QWidget* MakeTextBox(ui::TextBox& box, QWidget* parent);
    const Mirror* Find(const ui::Control& control) const;
    // The widget of `control` as the Qt class its kind is built as; null if it
    // is not one.
    template <class W>
    W* WidgetAs(const ui::Control& control) const;

    void PlaceOnScreen();

    void SyncWindowCaption(const std::string& caption) override;
    void ShowAgain() override;
    void EndShow() override;
    void SyncEnabled(ui::Control& control) override;
    void SyncVisible(ui::Control& control) override;
    void SyncGeometry(ui::Control& control) override;
    void SyncToolTip(ui::Control& control) override;
    void SyncTabOrder() override;
    void SyncCaption(ui::Control& control, const std::string& caption) override;
    void SyncAlignment(ui::Control& control, ui::Alignment alignment) override;
    void SyncItems(ui::ComboBox& list) override;
    void SyncListIndex(ui::ComboBox& list) override;
    void SyncText(ui::TextBox& box) override;
    void SyncValue(ui::CheckBox& check) override;

    std::unique_ptr<ModelDialog> m_dialog;
    std::vector<Mirror> m_mirrors;  // layout order
    // Set when the model ends the show; tells a loop that ended for the
    // application's quit from one that the model ended.
    bool m_showEnded = false;
    QEventLoop* m_loop = nullptr;  // the running show's loop, or null
};

}  // namespace velorin::qt
