#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/windows_api.h"
#include "ui/window.h"
#include "ui/window_layout.h"
#include "ui/window_mirror.h"

namespace velorin::win32 {

class Win32Toolkit;

// Each control's dialog-item id is kFirstControlId plus its row in the window's
// layout, so a program driving a dialog by messages finds a control from the
// layout alone. The ids stay clear of IDOK and IDCANCEL, which the dialog
// manager sends for Enter and Esc.
inline constexpr int kFirstControlId = 1000;
// The id of the control named `name` in `layout`, or 0 when there is none.
int ControlId(const ui::WindowLayout& layout, std::string_view name);

// Layouts are in twips, 1440 to the inch: 15 to a pixel at 96 dots per inch,
// the size the layouts and the standard dialog font (MS Shell Dlg, 8 points)
// were drawn for. Rounded to the nearest pixel, halves away from zero, and kept
// within what a window can measure.
int TwipsToPixels(std::int64_t twips, int dotsPerInch);
// The screen's horizontal dots per inch (96 unless the process is told otherwise).
int ScreenDotsPerInch();

// The Win32 dialog of one window model while a toolkit shows it. Built hidden
// from the model's present state (a form fills its lists before the show), it
// then mirrors every change of the model live, whoever made it, and forwards
// what the person does into the model:
//   - a pick in a drop-down list (CBN_SELCHANGE) sets its current entry, which
//     fires the list's click;
//   - an edit (EN_CHANGE) sets a text box's text, which the model cuts at its
//     maximum length (the edit is limited with EM_LIMITTEXT as well);
//   - a click on a check box sets its value; a click on a button clicks it;
//     neither reaches a control the person cannot reach (Control::Interactive);
//   - Enter presses the default button (BS_DEFPUSHBUTTON, or the focused
//     button, as the dialog manager does), Esc presses the cancel button when
//     the layout has one;
//   - the close box unloads the window.
// Errors the model's handlers raise meanwhile are shown by the toolkit's edge.
//
// The dialog has the window's caption, the standard dialog font, the shared
// window icon, a fixed border unless the layout is resizable, no minimise or
// maximise box unless the layout asks, and is centred on the screen when the
// layout says so. Frames are group boxes beneath the controls they hold (every
// control is a child of the dialog, placed at its frame's offset, and enabled
// and shown only while its frames are); Tab follows the model's tab order;
// tooltips come from one tooltip control.
//
// Borrows the window and the toolkit and must not outlive either; while it
// lives it is the window's observer.
class Win32Window final : public ui::WindowMirror {
  public:
    // `owner` (may be null) owns the dialog and is disabled while it is shown.
    // Raises velorin::Error when the dialog cannot be made.
    Win32Window(ui::Window& window, Win32Toolkit& toolkit, HWND owner);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window(Win32Window&&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;
    Win32Window& operator=(Win32Window&&) = delete;

    HWND Dialog() const { return m_dialog; }
    // The window mirroring a control, or null for a control of another window.
    HWND ControlHandle(const ui::Control& control) const;
    HWND ControlHandle(std::string_view name) const;
    HWND ToolTips() const { return m_toolTips; }

    // Shows the dialog and runs its message loop until the model is hidden or
    // unloaded. A WM_QUIT meanwhile hides the model (its show ends as a
    // dismissed dialog's does) and is posted again for the host's loop. Returns
    // at once when the model is not shown.
    void RunModal();

  private:
    struct Mirror {
        ui::Control* control = nullptr;
        HWND handle = nullptr;
        int id = 0;
        bool hasTip = false;
        std::vector<std::wstring> shownItems;  // drop-down lists: the entries shown
    };

    static INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wparam,
                                            LPARAM lparam);
    INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam);
    void OnCommand(int id, int code);

    void Build(Mirror& mirror);
    Mirror& Find(const ui::Control& control);
    Mirror* FindById(int id);

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

    // Enabled and shown as the control and its frames are; every control is a
    // child of the dialog, so a frame's state reaches what it holds from here.
    void SyncState(const ui::Control& control);
    void PlaceControl(const ui::Control& control);
    // Runs `sync` on every control a frame holds, at any depth.
    void ForHeld(const ui::Control& frame, void (Win32Window::*sync)(const ui::Control&));
    void PlaceOnScreen();
    void DisableOwner();
    void EnableOwner();

    HWND m_owner;
    int m_dotsPerInch;
    HWND m_dialog = nullptr;
    HWND m_toolTips = nullptr;
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;
    std::vector<Mirror> m_mirrors;  // layout order
    bool m_running = false;
    bool m_ownerDisabled = false;
};

}  // namespace velorin::win32
