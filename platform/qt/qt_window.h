#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/qt/layout_fit.h"
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
// Geometry: twips at 15 per pixel (kTwipsPerPixel) times one scale for the whole
// window; each control sits in its frame (a QGroupBox) or on the dialog. The
// layouts were drawn for a small dialog font; the font a dialog really shows (a
// host's, a style sheet's, a larger one at 150% scaling) may need more room. The
// scale, from 1 up, is just large enough that every caption and frame title
// shows whole and every list and text box is tall enough for a line of text, by
// the widgets' own styles, so the layout keeps its order and proportions rather
// than moving controls about (a text box scrolls what a person types into it). A list may widen the
// layout further for its longest entry, up to twice the captions' scale and never past nine tenths
// of the screen; an entry that still does not fit shows whole in the popup, and as the list's
// tooltip while it is current. No layout grows past eight times its declared size, whatever a
// caption asks. Where the layout lets two controls of one container overlap, one
// gives way (PartOverlap): a label or check box to a box beside it, two captions meet halfway; so
// no two widgets overlap. The scale is found again whenever a caption, a list's entries, a position
// or the font changes (once the event loop turns; a show does it first, and a position change
// places the widgets at once).
//
// The window has a fixed border unless its layout is resizable, a minimise and
// maximise button only when the layout asks for them, and the shared window
// icon. Its font is that of the window it sits over (a host's main window: QGIS
// sets its user's font there by a style sheet) or else the dialog font. It is
// centred on the screen when the layout says so.
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
        TwipRect shown;  // the control's rectangle less what later controls cover
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

    // Finds the scale (see the class comment) and places every widget at it.
    void Relayout();
    // Relayout once the event loop turns, however many changes ask for it.
    void ScheduleRelayout();
    // Places every widget at `scale`, each less what it gives up to another.
    void PlaceAt(double scale);
    // Sizes the dialog at `scale`.
    void SizeAt(double scale);
    // The largest scale at which the dialog takes at most nine tenths of its
    // screen.
    double ScreenScale() const;
    // Each list's popup wide enough for its entries, and its tooltip.
    void FitLists();
    void FitListToolTip(ui::Control& control);

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
    double m_scale = 1.0;
    bool m_relayoutPending = false;
    bool m_built = false;  // every widget made and mirroring the model
};

}  // namespace velorin::qt
