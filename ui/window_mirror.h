#pragma once

#include <string>
#include <vector>

#include "ui/window.h"
#include "ui/window_observer.h"

namespace velorin::ui {

class Toolkit;

// What every toolkit's dialog of a window model shares, whatever draws it: it
// brings the dialog up to the model once, then mirrors each change of the model
// (whoever made it) through the toolkit's parts below, and forwards what the
// person does into the model through the toolkit's error edge.
//
// A toolkit builds its widgets first, then calls Attach; its destructor calls
// Detach before the widgets go. While the mirror changes widgets to match the
// model (Mirroring()), the notifications that causes are not the person's doing:
// the Person* calls ignore them.
class WindowMirror : public WindowObserver {
  public:
    WindowMirror(Window& window, Toolkit& toolkit) : m_window(window), m_toolkit(toolkit) {}
    ~WindowMirror() override;
    WindowMirror(const WindowMirror&) = delete;
    WindowMirror(WindowMirror&&) = delete;
    WindowMirror& operator=(const WindowMirror&) = delete;
    WindowMirror& operator=(WindowMirror&&) = delete;

    void WindowChanged(Window& window, WindowChange change) final;
    void ControlChanged(Control& control, ControlChange change) final;

  protected:
    Window& Model() const { return m_window; }
    Toolkit& EdgeToolkit() const { return m_toolkit; }

    // Brings every widget up to the model and starts observing it.
    void Attach();
    // Stops observing; idempotent.
    void Detach();
    // The caption, every state of every control, then the tab order.
    void SyncAll();
    bool Mirroring() const { return m_mirroring > 0; }

    // The controls a person reaches with Tab (every kind but frames and labels),
    // in tab order, reachable now or not.
    std::vector<Control*> FocusOrder() const;
    // The one a modal show gives the focus: the first of FocusOrder a person can
    // reach (Control::Interactive), or null.
    Control* FirstFocus() const;

    // What the person did, each run through the toolkit's error edge and each
    // ignored while mirroring:
    void PersonPicks(ComboBox& list, int index);       // sets the current entry
    void PersonTypes(TextBox& box, std::string text);  // replaces the text
    // A check box toggles its value, a button is clicked; a control the person
    // cannot reach (Control::Interactive) is not touched.
    void PersonClicks(Control& control);
    void PersonPressesEnter();  // Window::PressEnter
    void PersonPressesEsc();    // Window::PressEsc
    void PersonCloses();        // the close box: Window::Unload

    // --- The toolkit's parts: change the widgets to match the model. --------
    virtual void SyncWindowCaption(const std::string& caption) = 0;
    // The model was shown again while its show runs.
    virtual void ShowAgain() = 0;
    // The model was hidden or unloaded: the show ends.
    virtual void EndShow() = 0;

    virtual void SyncEnabled(Control& control) = 0;
    virtual void SyncVisible(Control& control) = 0;
    virtual void SyncGeometry(Control& control) = 0;
    virtual void SyncToolTip(Control& control) = 0;
    // Some control's tab index changed (every control's, after a reset).
    virtual void SyncTabOrder() = 0;
    // The caption of a frame, label, check box or button.
    virtual void SyncCaption(Control& control, const std::string& caption) = 0;
    // The alignment of a label or a text box.
    virtual void SyncAlignment(Control& control, Alignment alignment) = 0;
    virtual void SyncItems(ComboBox& list) = 0;  // then its current entry as well
    virtual void SyncListIndex(ComboBox& list) = 0;
    virtual void SyncText(TextBox& box) = 0;  // its text and its maximum length
    virtual void SyncValue(CheckBox& check) = 0;

  private:
    void Sync(Control& control, ControlChange change);

    Window& m_window;
    Toolkit& m_toolkit;
    bool m_attached = false;
    int m_mirroring = 0;
};

}  // namespace velorin::ui
