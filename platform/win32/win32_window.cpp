#include "platform/win32/win32_window.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "host/error.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_toolkit.h"
#include "platform/win32/window_icon.h"
#include "ui/check_box.h"
#include "ui/combo_box.h"
#include "ui/command_button.h"
#include "ui/control.h"
#include "ui/runtime_error.h"
#include "ui/text_box.h"

namespace velorin::win32 {

namespace {

constexpr int kTwipsPerInch = 1440;
// What the layouts were drawn for, and what Windows reports to a program that
// has not declared itself aware of other screen densities.
constexpr int kStandardDotsPerInch = 96;
// Far beyond any screen, and safe from overflow when edges are added up.
constexpr std::int64_t kLargestPixel = std::int64_t{1} << 24;
// The standard dialog font, as a dialog template names it.
constexpr WORD kDialogFontPoints = 8;
constexpr const wchar_t* kDialogFontName = L"MS Shell Dlg";
// Entries a drop-down list shows at once before it scrolls.
constexpr int kDroppedEntries = 10;
// Tooltips wrap at this width, in pixels.
constexpr int kToolTipWidth = 400;

// The frame depth of a control: 0 on the window, 1 in a frame, and so on.
int Depth(const ui::Control& control) {
    int depth = 0;
    for (const ui::Control* c = control.Container(); c != nullptr; c = c->Container()) {
        ++depth;
    }
    return depth;
}

bool HeldBy(const ui::Control& control, const ui::Control& frame) {
    for (const ui::Control* c = control.Container(); c != nullptr; c = c->Container()) {
        if (c == &frame) {
            return true;
        }
    }
    return false;
}

bool EnabledWithFrames(const ui::Control& control) {
    for (const ui::Control* c = &control; c != nullptr; c = c->Container()) {
        if (!c->Enabled()) {
            return false;
        }
    }
    return true;
}

bool VisibleWithFrames(const ui::Control& control) {
    for (const ui::Control* c = &control; c != nullptr; c = c->Container()) {
        if (!c->Visible()) {
            return false;
        }
    }
    return true;
}

// Both edges are rounded, not the width, so that controls declared edge to edge
// stay edge to edge in pixels. Every control is a child of the dialog, so a
// control in a frame sits at the frame's offset.
RECT PixelRect(const ui::Control& control, int dotsPerInch) {
    std::int64_t left = control.Left();
    std::int64_t top = control.Top();
    for (const ui::Control* c = control.Container(); c != nullptr; c = c->Container()) {
        left += c->Left();
        top += c->Top();
    }
    return {TwipsToPixels(left, dotsPerInch), TwipsToPixels(top, dotsPerInch),
            TwipsToPixels(left + control.Width(), dotsPerInch),
            TwipsToPixels(top + control.Height(), dotsPerInch)};
}

DWORD LabelAlignment(ui::Alignment alignment) {
    switch (alignment) {
        case ui::Alignment::Right:
            return SS_RIGHT;
        case ui::Alignment::Center:
            return SS_CENTER;
        case ui::Alignment::Left:
            break;
    }
    return SS_LEFT;
}

DWORD EditAlignment(ui::Alignment alignment) {
    switch (alignment) {
        case ui::Alignment::Right:
            return ES_RIGHT;
        case ui::Alignment::Center:
            return ES_CENTER;
        case ui::Alignment::Left:
            break;
    }
    return ES_LEFT;
}

// Replaces the style bits under `mask`. Edits and statics read their alignment
// when they paint, so a repaint shows the change.
void SetStyleBits(HWND handle, DWORD mask, DWORD bits) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(handle, GWL_STYLE));
    if ((style & mask) != bits) {
        SetWindowLongPtrW(handle, GWL_STYLE, static_cast<LONG_PTR>((style & ~mask) | bits));
        InvalidateRect(handle, nullptr, TRUE);
    }
}

std::wstring WindowText(HWND handle) {
    const int length = GetWindowTextLengthW(handle);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(handle, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

void SetText(HWND handle, const std::wstring& text) {
    if (WindowText(handle) != text) {
        SetWindowTextW(handle, text.c_str());
    }
}

[[noreturn]] void RaiseLastError(std::string what) {
    throw velorin::Error(static_cast<std::int32_t>(HRESULT_FROM_WIN32(GetLastError())),
                         std::move(what));
}

// An empty dialog template: the dialog manager makes the window with the
// standard dialog font, and the controls are added to it afterwards.
std::vector<WORD> DialogTemplate(DWORD style, const std::wstring& caption) {
    std::vector<WORD> words;
    words.reserve(16 + caption.size() + std::char_traits<wchar_t>::length(kDialogFontName));
    // One word at a time: GCC 12 misreads inserting a list at -O3 as an overflow.
    const auto add = [&words](std::initializer_list<WORD> values) {
        for (const WORD value : values) {
            words.push_back(value);
        }
    };
    const auto addText = [&words](std::wstring_view text) {
        for (const wchar_t c : text) {
            words.push_back(static_cast<WORD>(c));
        }
        words.push_back(0);
    };
    add({LOWORD(style), HIWORD(style)});
    add({0, 0});           // extended style
    add({0, 0, 0, 0, 0});  // no items; x, y, cx and cy are set afterwards
    add({0, 0});           // no menu; the system's dialog class
    addText(caption);
    add({kDialogFontPoints});
    addText(kDialogFontName);
    return words;
}

}  // namespace

int ControlId(const ui::WindowLayout& layout, std::string_view name) {
    for (std::size_t row = 0; row < layout.controls.size(); ++row) {
        if (!name.empty() && layout.controls[row].name == name) {
            return kFirstControlId + static_cast<int>(row);
        }
    }
    return 0;
}

int TwipsToPixels(std::int64_t twips, int dotsPerInch) {
    const std::int64_t scaled = twips * dotsPerInch;
    const std::int64_t half = kTwipsPerInch / 2;
    const std::int64_t pixels =
        scaled >= 0 ? (scaled + half) / kTwipsPerInch : -((-scaled + half) / kTwipsPerInch);
    return static_cast<int>(std::clamp(pixels, -kLargestPixel, kLargestPixel));
}

int ScreenDotsPerInch() {
    HDC screen = GetDC(nullptr);
    const int dots = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dots > 0 ? dots : kStandardDotsPerInch;
}

Win32Window::Win32Window(ui::Window& window, Win32Toolkit& toolkit, HWND owner)
    : WindowMirror(window, toolkit), m_owner(owner), m_dotsPerInch(ScreenDotsPerInch()) {
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT | WS_CLIPCHILDREN;
    if (window.Resizable()) {
        style |= WS_THICKFRAME;
    }
    if (window.MinMaxButtons()) {
        style |= WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    }
    const std::vector<WORD> dialogTemplate = DialogTemplate(style, Widen(window.Caption()));
    m_dialog = CreateDialogIndirectParamW(
        CodeModule(), reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()), owner,
        &Win32Window::DialogProcedure, reinterpret_cast<LPARAM>(this));
    if (m_dialog == nullptr) {
        RaiseLastError("Cannot create the window \"" + window.Caption() + "\"");
    }
    try {
        m_bigIcon = LoadWindowIcon(GetSystemMetrics(SM_CXICON));
        m_smallIcon = LoadWindowIcon(GetSystemMetrics(SM_CXSMICON));
        SendMessageW(m_dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon));
        SendMessageW(m_dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));

        RECT frame{0, 0, TwipsToPixels(window.ClientWidth(), m_dotsPerInch),
                   TwipsToPixels(window.ClientHeight(), m_dotsPerInch)};
        AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(m_dialog, GWL_STYLE)),
                           FALSE, static_cast<DWORD>(GetWindowLongPtrW(m_dialog, GWL_EXSTYLE)));
        SetWindowPos(m_dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

        m_toolTips =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, m_dialog, nullptr, CodeModule(), nullptr);
        if (m_toolTips != nullptr) {
            SendMessageW(m_toolTips, TTM_SETMAXTIPWIDTH, 0, kToolTipWidth);
        }

        m_mirrors.reserve(window.ControlCount());
        for (std::size_t row = 0; row < window.ControlCount(); ++row) {
            Mirror mirror;
            mirror.control = &window.ControlAt(row);
            mirror.id = kFirstControlId + static_cast<int>(row);
            m_mirrors.push_back(std::move(mirror));
        }
        for (Mirror& mirror : m_mirrors) {
            Build(mirror);
        }
        Attach();
        if (const ui::CommandButton* button = window.DefaultButton(); button != nullptr) {
            SendMessageW(m_dialog, DM_SETDEFID, static_cast<WPARAM>(Find(*button).id), 0);
        }
        PlaceOnScreen();
    } catch (...) {
        // Not a recovery: the half-built dialog goes before the error passes on.
        Detach();
        DestroyWindow(m_dialog);
        if (m_bigIcon != nullptr) DestroyIcon(m_bigIcon);
        if (m_smallIcon != nullptr) DestroyIcon(m_smallIcon);
        throw;
    }
}

Win32Window::~Win32Window() {
    Detach();
    EnableOwner();
    SetWindowLongPtrW(m_dialog, DWLP_USER, 0);
    DestroyWindow(m_dialog);
    if (m_bigIcon != nullptr) {
        DestroyIcon(m_bigIcon);
    }
    if (m_smallIcon != nullptr) {
        DestroyIcon(m_smallIcon);
    }
}

HWND Win32Window::ControlHandle(const ui::Control& control) const {
    for (const Mirror& mirror : m_mirrors) {
        if (mirror.control == &control) {
            return mirror.handle;
        }
    }
    return nullptr;
}

HWND Win32Window::ControlHandle(std::string_view name) const {
    const ui::Control* control = Model().FindControl(name);
    return control != nullptr ? ControlHandle(*control) : nullptr;
}

Win32Window::Mirror& Win32Window::Find(const ui::Control& control) {
    for (Mirror& mirror : m_mirrors) {
        if (mirror.control == &control) {
            return mirror;
        }
    }
    // The mirror has a row for every control of its window, and is told only
    // of those.
    ui::RaiseRuntimeError(ui::kErrControlNotFound, control.QualifiedName());
}

Win32Window::Mirror* Win32Window::FindById(int id) {
    const int row = id - kFirstControlId;
    if (row < 0 || static_cast<std::size_t>(row) >= m_mirrors.size()) {
        return nullptr;
    }
    return &m_mirrors[static_cast<std::size_t>(row)];
}

void Win32Window::Build(Mirror& mirror) {
    const ui::Control& control = *mirror.control;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_GROUP;
    DWORD extended = 0;
    const wchar_t* windowClass = WC_BUTTONW;
    switch (control.Kind()) {
        case ui::ControlKind::Frame:
            style |= BS_GROUPBOX;
            break;
        case ui::ControlKind::Label:
            // Captions are data, never mnemonics; SS_NOTIFY lets a tooltip see the mouse.
            windowClass = WC_STATICW;
            style |= SS_NOPREFIX | SS_NOTIFY;
            break;
        case ui::ControlKind::ComboBox:
            windowClass = WC_COMBOBOXW;
            style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
            break;
        case ui::ControlKind::TextBox: {
            const auto& box = ui::Cast<ui::TextBox>(control);
            windowClass = WC_EDITW;
            extended = WS_EX_CLIENTEDGE;
            style |= WS_TABSTOP;
            if (box.MultiLine()) {
                // No ES_WANTRETURN: Enter presses the default button, as in every
                // dialog; Ctrl+Enter starts a new line.
                style |= ES_MULTILINE | ES_AUTOVSCROLL;
                if (box.VerticalScrollBar()) {
                    style |= WS_VSCROLL;
                }
            } else {
                style |= ES_AUTOHSCROLL;
            }
            break;
        }
        case ui::ControlKind::CheckBox:
            // Not an automatic check box: the model decides the value, and the
            // box shows what the model holds.
            style |= WS_TABSTOP | BS_CHECKBOX;
            break;
        case ui::ControlKind::CommandButton:
            style |= WS_TABSTOP | (ui::Cast<ui::CommandButton>(control).Default() ? BS_DEFPUSHBUTTON
                                                                                  : BS_PUSHBUTTON);
            break;
    }
    mirror.handle = CreateWindowExW(extended, windowClass, L"", style, 0, 0, 0, 0, m_dialog,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(mirror.id)),
                                    CodeModule(), nullptr);
    if (mirror.handle == nullptr) {
        RaiseLastError("Cannot create the control " + control.QualifiedName());
    }
    SendMessageW(mirror.handle, WM_SETFONT, SendMessageW(m_dialog, WM_GETFONT, 0, 0), FALSE);
}

void Win32Window::SyncWindowCaption(const std::string& caption) {
    SetText(m_dialog, Widen(caption));
}

void Win32Window::SyncEnabled(ui::Control& control) {
    SyncState(control);
    if (control.Kind() == ui::ControlKind::Frame) {
        ForHeld(control, &Win32Window::SyncState);
    }
}

void Win32Window::SyncVisible(ui::Control& control) { SyncEnabled(control); }

void Win32Window::SyncGeometry(ui::Control& control) {
    PlaceControl(control);
    if (control.Kind() == ui::ControlKind::Frame) {
        ForHeld(control, &Win32Window::PlaceControl);
    }
}

void Win32Window::SyncCaption(ui::Control& control, const std::string& caption) {
    SetText(Find(control).handle, Widen(caption));
}

void Win32Window::SyncAlignment(ui::Control& control, ui::Alignment alignment) {
    HWND handle = Find(control).handle;
    if (control.Kind() == ui::ControlKind::Label) {
        SetStyleBits(handle, SS_TYPEMASK, LabelAlignment(alignment));
    } else {
        SetStyleBits(handle, ES_LEFT | ES_CENTER | ES_RIGHT, EditAlignment(alignment));
    }
}

void Win32Window::SyncListIndex(ui::ComboBox& list) {
    SendMessageW(Find(list).handle, CB_SETCURSEL, static_cast<WPARAM>(list.ListIndex()), 0);
}

void Win32Window::SyncValue(ui::CheckBox& check) {
    SendMessageW(Find(check).handle, BM_SETCHECK, check.Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32Window::PlaceControl(const ui::Control& control) {
    const Mirror& mirror = Find(control);
    const RECT rect = PixelRect(control, m_dotsPerInch);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (control.Kind() != ui::ControlKind::ComboBox) {
        SetWindowPos(mirror.handle, nullptr, rect.left, rect.top, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    // A drop-down list's window height includes its dropped list; the closed
    // height follows the selection field, which is sized so that the closed
    // list is as high as the layout says.
    const auto entryHeight = static_cast<int>(SendMessageW(mirror.handle, CB_GETITEMHEIGHT, 0, 0));
    const int dropped = std::max(entryHeight, 1) * kDroppedEntries + 2;
    SetWindowPos(mirror.handle, nullptr, rect.left, rect.top, width, height + dropped,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RECT closed{};
    GetWindowRect(mirror.handle, &closed);
    const int difference = height - (closed.bottom - closed.top);
    const auto fieldHeight =
        static_cast<int>(SendMessageW(mirror.handle, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    if (difference != 0 && fieldHeight + difference > 0) {
        SendMessageW(mirror.handle, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                     fieldHeight + difference);
    }
}

void Win32Window::SyncState(const ui::Control& control) {
    HWND handle = Find(control).handle;
    EnableWindow(handle, EnabledWithFrames(control) ? TRUE : FALSE);
    ShowWindow(handle, VisibleWithFrames(control) ? SW_SHOWNA : SW_HIDE);
}

void Win32Window::ForHeld(const ui::Control& frame, void (Win32Window::*sync)(const ui::Control&)) {
    for (const Mirror& mirror : m_mirrors) {
        if (HeldBy(*mirror.control, frame)) {
            (this->*sync)(*mirror.control);
        }
    }
}

void Win32Window::SyncToolTip(ui::Control& control) {
    if (m_toolTips == nullptr) {
        return;
    }
    Mirror& mirror = Find(control);
    std::wstring text = Widen(control.ToolTip());
    TOOLINFOW tool{};
    // The size comctl32 5 knows too: a DLL gets version 6 only by a manifest.
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(mirror.handle);
    tool.lpszText = text.data();
    if (text.empty()) {
        if (mirror.hasTip) {
            SendMessageW(m_toolTips, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
            mirror.hasTip = false;
        }
    } else if (mirror.hasTip) {
        SendMessageW(m_toolTips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    } else {
        mirror.hasTip =
            SendMessageW(m_toolTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
    }
}

void Win32Window::SyncItems(ui::ComboBox& list) {
    Mirror& mirror = Find(list);
    const std::vector<std::string>& items = list.Items();
    std::vector<std::wstring>& shown = mirror.shownItems;
    // The model reports each entry it adds, so one more entry than shown is one
    // entry inserted; the shown entries after it match the model's last ones.
    // Matching from the end finds where it went at once for the usual append.
    if (items.size() == shown.size() + 1) {
        std::size_t suffix = 0;
        while (suffix < shown.size() &&
               shown[shown.size() - 1 - suffix] == Widen(items[items.size() - 1 - suffix])) {
            ++suffix;
        }
        const std::size_t position = shown.size() - suffix;
        std::wstring text = Widen(items[position]);
        SendMessageW(mirror.handle, CB_INSERTSTRING, position,
                     reinterpret_cast<LPARAM>(text.c_str()));
        shown.insert(shown.begin() + static_cast<std::ptrdiff_t>(position), std::move(text));
    } else {
        SendMessageW(mirror.handle, CB_RESETCONTENT, 0, 0);
        shown.clear();
        for (const std::string& item : items) {
            shown.push_back(Widen(item));
            SendMessageW(mirror.handle, CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(shown.back().c_str()));
        }
    }
    SendMessageW(mirror.handle, CB_SETCURSEL, static_cast<WPARAM>(list.ListIndex()), 0);
}

void Win32Window::SyncText(ui::TextBox& box) {
    const Mirror& mirror = Find(box);
    const std::wstring text = Widen(box.Text());
    // The model's maximum applies to the next text only (a longer text already
    // there stays), so the edit's limit never falls below what it shows.
    const WPARAM limit =
        box.MaxLength() == 0 ? 0 : std::max(static_cast<std::size_t>(box.MaxLength()), text.size());
    SendMessageW(mirror.handle, EM_SETLIMITTEXT, limit, 0);
    if (WindowText(mirror.handle) != text) {
        SetWindowTextW(mirror.handle, text.c_str());
        // A text the model cut under the person's typing: the caret goes to the end.
        if (GetFocus() == mirror.handle) {
            SendMessageW(mirror.handle, EM_SETSEL, text.size(), static_cast<LPARAM>(text.size()));
        }
    }
}

void Win32Window::SyncTabOrder() {
    // The dialog manager tabs through the children from the top of their
    // z-order: the focusable controls and labels by tab index, then the frames,
    // inner frames above outer ones, beneath everything they hold.
    std::vector<const Mirror*> order;
    for (const Mirror& mirror : m_mirrors) {
        order.push_back(&mirror);
    }
    std::stable_sort(order.begin(), order.end(), [](const Mirror* a, const Mirror* b) {
        const bool aFrame = a->control->Kind() == ui::ControlKind::Frame;
        const bool bFrame = b->control->Kind() == ui::ControlKind::Frame;
        if (aFrame != bFrame) {
            return bFrame;
        }
        if (aFrame) {
            return Depth(*a->control) > Depth(*b->control);
        }
        return a->control->TabIndex() < b->control->TabIndex();
    });
    HWND above = HWND_TOP;
    for (const Mirror* mirror : order) {
        SetWindowPos(mirror->handle, above, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        above = mirror->handle;
    }
}

void Win32Window::PlaceOnScreen() {
    if (!Model().CenterOnScreen()) {
        return;
    }
    // The screen of the window it is shown for, else the primary screen.
    HWND reference = m_owner != nullptr ? m_owner : GetActiveWindow();
    HMONITOR monitor =
        MonitorFromWindow(reference != nullptr ? reference : m_dialog, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT placed{};
    if (monitor == nullptr || !GetMonitorInfoW(monitor, &info) ||
        !GetWindowRect(m_dialog, &placed)) {
        return;
    }
    const RECT& work = info.rcWork;
    const int width = placed.right - placed.left;
    const int height = placed.bottom - placed.top;
    // A window larger than the screen keeps its title bar on it.
    const int left = std::max(work.left, work.left + (work.right - work.left - width) / 2);
    const int top = std::max(work.top, work.top + (work.bottom - work.top - height) / 2);
    SetWindowPos(m_dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::RunModal() {
    if (!Model().Loaded() || !Model().Visible()) {
        return;
    }
    m_running = true;
    DisableOwner();
    ShowWindow(m_dialog, SW_SHOW);
    if (const ui::Control* first = FirstFocus(); first != nullptr) {
        SendMessageW(m_dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Find(*first).handle), TRUE);
    }
    MSG message{};
    while (Model().Loaded() && Model().Visible()) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            // The host is quitting (or the queue is gone): end the show as a
            // dismissed dialog's ends, and leave the quit to the host's loop.
            if (got == 0) {
                PostQuitMessage(static_cast<int>(message.wParam));
            }
            EdgeToolkit().RunAtEdge([this] { Model().Hide(); });
            break;
        }
        if (!IsDialogMessageW(m_dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    EnableOwner();
    ShowWindow(m_dialog, SW_HIDE);
    m_running = false;
}

void Win32Window::DisableOwner() {
    if (!m_ownerDisabled && m_owner != nullptr && IsWindowEnabled(m_owner)) {
        EnableWindow(m_owner, FALSE);
        m_ownerDisabled = true;
    }
}

void Win32Window::EnableOwner() {
    if (m_ownerDisabled) {
        EnableWindow(m_owner, TRUE);
        m_ownerDisabled = false;
    }
}

void Win32Window::EndShow() {
    if (!m_running) {
        return;
    }
    // The owner first, so that Windows gives the activation back to it rather
    // than to some other program when the dialog hides.
    EnableOwner();
    ShowWindow(m_dialog, SW_HIDE);
    // The loop waits in GetMessage, which handles messages sent from other
    // threads without returning: a posted message wakes it to see the end.
    PostMessageW(m_dialog, WM_NULL, 0, 0);
}

INT_PTR CALLBACK Win32Window::DialogProcedure(HWND dialog, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        return FALSE;  // the focus is set when the dialog is shown
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    // Nothing may unwind through the system's window code: whatever escapes is
    // shown at the toolkit's edge.
    INT_PTR result = FALSE;
    self->EdgeToolkit().RunAtEdge([&] { result = self->Handle(message, wparam, lparam); });
    return result;
}

INT_PTR Win32Window::Handle(UINT message, WPARAM wparam, LPARAM /*lparam*/) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wparam), HIWORD(wparam));
            return TRUE;
        case WM_CLOSE:
            // The close box; the model's unload ends the show.
            PersonCloses();
            return TRUE;
        default:
            return FALSE;
    }
}

void Win32Window::OnCommand(int id, int code) {
    // Esc and Enter as the dialog manager reports them when no control has the
    // id it names.
    if (id == IDCANCEL) {
        PersonPressesEsc();
        return;
    }
    if (id == IDOK) {
        PersonPressesEnter();
        return;
    }
    const Mirror* mirror = FindById(id);
    if (mirror == nullptr) {
        return;
    }
    ui::Control& control = *mirror->control;
    HWND handle = mirror->handle;
    if (auto* list = ui::As<ui::ComboBox>(control); list != nullptr && code == CBN_SELCHANGE) {
        const auto index = static_cast<int>(SendMessageW(handle, CB_GETCURSEL, 0, 0));
        if (index != CB_ERR) {
            PersonPicks(*list, index);
        }
    } else if (auto* box = ui::As<ui::TextBox>(control); box != nullptr && code == EN_CHANGE) {
        PersonTypes(*box, Narrow(WindowText(handle)));
    } else if (code == BN_CLICKED) {
        PersonClicks(control);
    }
}

void Win32Window::ShowAgain() {
    if (m_running) {
        DisableOwner();
        ShowWindow(m_dialog, SW_SHOW);
    }
}

}  // namespace velorin::win32
