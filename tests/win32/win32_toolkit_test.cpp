// The Win32 toolkit on the real dialogs: windows built from their layouts,
// mirroring of the models, a person's actions reaching the models, modal shows,
// message boxes, numbers in the user's settings, and Esc for the cancel checks.
#include "platform/win32/win32_toolkit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "forms/frm_copy_legend.h"
#include "forms/frm_help.h"
#include "forms/frm_zoom_flash.h"
#include "host/error.h"
#include "platform/win32/locale_numbers.h"
#include "platform/win32/message_pump.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_window.h"
#include "tests/com/check.h"
#include "tests/ui/edge_cases.h"
#include "tests/win32/person.h"
#include "ui/current_toolkit.h"
#include "ui/runtime_error.h"
#include "ui/window.h"

namespace {

using velorin::ui::Window;
using velorin::ui::WindowLayout;
using velorin::ui::testing::kEdgeCases;
using velorin::win32::ControlId;
using velorin::win32::Win32Toolkit;
using velorin::win32::Win32Window;
using velorin::win32test::Person;

// The layouts' scale: the tests below assume the 96 dpi that Wine reports.
constexpr int kTwipsPerPixel = 15;

// What every case needs: a toolkit installed on the thread, as a click has.
struct UiThread {
    Win32Toolkit toolkit;
    velorin::ui::ToolkitScope scope{toolkit};
};

int Pixels(std::int64_t twips) { return static_cast<int>((twips + kTwipsPerPixel / 2) / 15); }

const velorin::ui::ControlLayout* Row(const WindowLayout& layout, std::string_view name) {
    for (const auto& row : layout.controls) {
        if (row.name == name) return &row;
    }
    return nullptr;
}

// A control's rectangle in its dialog's client area.
RECT ClientRect(HWND dialog, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

DWORD StyleOf(HWND window) { return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)); }

std::wstring ClassOf(HWND window) {
    std::array<wchar_t, 64> name{};
    const int length = GetClassNameW(window, name.data(), static_cast<int>(name.size()));
    return std::wstring(name.data(), static_cast<std::size_t>(std::max(length, 0)));
}

std::wstring TextOf(HWND window) {
    std::array<wchar_t, 1024> text{};
    const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data(), static_cast<std::size_t>(std::max(length, 0)));
}

std::wstring ToolTipText(HWND toolTips, HWND dialog, HWND control) {
    std::array<wchar_t, 1024> text{};
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text.data();
    SendMessageW(toolTips, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tool));
    return text.data();
}

std::vector<std::wstring> ListEntries(HWND list) {
    std::vector<std::wstring> entries;
    const auto count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::array<wchar_t, 256> text{};
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(text.data()));
        entries.emplace_back(text.data());
    }
    return entries;
}

// The pixels a control's caption leaves, bounded, in its dialog's client area:
// the control paints itself (WM_PRINTCLIENT) into a bitmap with its caption and
// without it, and the rectangle holds every pixel that differs. Empty when
// nothing is drawn.
RECT CaptionArea(HWND dialog, HWND control) {
    RECT client{};
    GetClientRect(control, &client);
    const int width = std::max<int>(client.right, 1);
    const int height = std::max<int>(client.bottom, 1);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const auto paint = [&] {
        FillRect(memory, &client, GetSysColorBrush(COLOR_BTNFACE));
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
                     PRF_CLIENT | PRF_ERASEBKGND);
        GdiFlush();
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        return std::vector<std::uint32_t>(pixels,
                                          pixels + static_cast<std::size_t>(width) * height);
    };
    const std::vector<std::uint32_t> with = paint();
    const std::wstring caption = TextOf(control);
    SetWindowTextW(control, L"");
    const std::vector<std::uint32_t> without = paint();
    SetWindowTextW(control, caption.c_str());
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);

    RECT area{width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * width + x;
            if (with[at] != without[at]) {
                area.left = std::min<LONG>(area.left, x);
                area.top = std::min<LONG>(area.top, y);
                area.right = std::max<LONG>(area.right, x + 1);
                area.bottom = std::max<LONG>(area.bottom, y + 1);
            }
        }
    }
    if (area.left >= area.right) {
        return {};
    }
    const RECT place = ClientRect(dialog, control);
    OffsetRect(&area, place.left, place.top);
    return area;
}

void CheckFailures(const Person& person) {
    for (const std::string& failure : person.Failures()) {
        velorin::check::Fail(__FILE__, __LINE__, "person: " + failure);
    }
}

// Shows `window` modally through the thread's toolkit while a person plays
// `script`; the person's failures become the case's.
void ShowWith(Window& window, Person::Script script) {
    Person person(GetCurrentThreadId(), std::move(script));
    velorin::ui::CurrentToolkit().ShowModal(window);
    person.Finish();
    CheckFailures(person);
}

// --- Windows built from their layouts -----------------------------------------

VELORIN_CASE(Layout, EveryControlSitsAtItsTwipsInPixelsInsideItsFrames) {
    UiThread ui;
    REQUIRE_EQ(velorin::win32::ScreenDotsPerInch(), 96);
    for (const WindowLayout* layout :
         {&velorin::forms::frmZoomFlash::Layout(), &velorin::forms::frmCopyLegend::Layout(),
          &velorin::forms::frmHelp::Layout()}) {
        Window window(*layout);
        Win32Window view(window, ui.toolkit, nullptr);
        RECT client{};
        GetClientRect(view.Dialog(), &client);
        CHECK_EQ(client.right, Pixels(layout->clientWidth));
        CHECK_EQ(client.bottom, Pixels(layout->clientHeight));
        for (const auto& row : layout->controls) {
            std::int64_t left = row.left;
            std::int64_t top = row.top;
            for (auto* frame = Row(*layout, row.container); frame != nullptr;
                 frame = Row(*layout, frame->container)) {
                left += frame->left;
                top += frame->top;
            }
            const RECT rect = ClientRect(view.Dialog(), view.ControlHandle(row.name));
            if (!CHECK_EQ(rect.left, Pixels(left)) || !CHECK_EQ(rect.top, Pixels(top)) ||
                !CHECK_EQ(rect.right, Pixels(left + row.width)) ||
                !CHECK_EQ(rect.bottom, Pixels(top + row.height))) {
                velorin::check::Fail(
                    __FILE__, __LINE__,
                    "at " + std::string(layout->name) + "." + std::string(row.name));
            }
        }
    }
    // One in a frame, spelled out: (120 + 120, 120 + 600) twips, 2415 x 315.
    Window window(velorin::forms::frmZoomFlash::Layout());
    Win32Window view(window, ui.toolkit, nullptr);
    const RECT list = ClientRect(view.Dialog(), view.ControlHandle("cboLyr1"));
    CHECK_EQ(list.left, 16L);
    CHECK_EQ(list.top, 48L);
    CHECK_EQ(list.right - list.left, 161L);
    CHECK_EQ(list.bottom - list.top, 21L);
}

// The layouts place some controls over others (a label reaching into the check
// box beside it); at the dialog font their captions must still stand apart.
VELORIN_CASE(Layout, NoCaptionIsDrawnOverAnother) {
    UiThread ui;
    for (const WindowLayout* layout :
         {&velorin::forms::frmZoomFlash::Layout(), &velorin::forms::frmCopyLegend::Layout(),
          &velorin::forms::frmHelp::Layout()}) {
        Window window(*layout);
        Win32Window view(window, ui.toolkit, nullptr);
        struct Drawn {
            std::string name;
            RECT area;
        };
        std::vector<Drawn> drawn;
        for (std::size_t row = 0; row < window.ControlCount(); ++row) {
            const velorin::ui::Control& control = window.ControlAt(row);
            const auto kind = control.Kind();
            if (kind == velorin::ui::ControlKind::TextBox ||
                kind == velorin::ui::ControlKind::ComboBox) {
                continue;  // no caption: a text or entries
            }
            HWND handle =
                GetDlgItem(view.Dialog(), velorin::win32::kFirstControlId + static_cast<int>(row));
            if (TextOf(handle).empty()) {
                continue;
            }
            const RECT area = CaptionArea(view.Dialog(), handle);
            if (!CHECK(area.right > area.left)) {
                velorin::check::Fail(__FILE__, __LINE__,
                                     control.QualifiedName() + " draws no caption");
            }
            drawn.push_back({control.QualifiedName(), area});
        }
        for (std::size_t a = 0; a < drawn.size(); ++a) {
            for (std::size_t b = a + 1; b < drawn.size(); ++b) {
                RECT both{};
                if (IntersectRect(&both, &drawn[a].area, &drawn[b].area)) {
                    velorin::check::Fail(__FILE__, __LINE__,
                                         drawn[a].name + " and " + drawn[b].name +
                                             " draw their captions over each other");
                }
            }
        }
    }
}

VELORIN_CASE(Layout, DialogHasItsCaptionIconFixedBorderNoMinMaxBoxAndIsCentred) {
    UiThread ui;
    Window window(velorin::forms::frmZoomFlash::Layout());
    Win32Window view(window, ui.toolkit, nullptr);
    HWND dialog = view.Dialog();
    CHECK_EQ(TextOf(dialog), std::wstring(L"Zoom and Flash"));
    const DWORD style = StyleOf(dialog);
    CHECK((style & WS_CAPTION) == WS_CAPTION);
    CHECK((style & WS_SYSMENU) != 0);
    CHECK((style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)) == 0);
    CHECK(SendMessageW(dialog, WM_GETICON, ICON_BIG, 0) != 0);
    CHECK(SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0) != 0);

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    REQUIRE(GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor));
    RECT placed{};
    GetWindowRect(dialog, &placed);
    const RECT& work = monitor.rcWork;
    CHECK(std::abs((placed.left + placed.right) - (work.left + work.right)) <= 1);
    CHECK(std::abs((placed.top + placed.bottom) - (work.top + work.bottom)) <= 1);
}

VELORIN_CASE(Layout, ControlsHaveTheKindsAlignmentsAndLimitsTheirRowsDeclare) {
    UiThread ui;
    struct Expected {
        const WindowLayout* layout;
        std::string_view name;
        std::wstring_view windowClass;
        DWORD styleMask;
        DWORD style;
        std::wstring_view text;
    };
    const WindowLayout& zoomFlash = velorin::forms::frmZoomFlash::Layout();
    const WindowLayout& help = velorin::forms::frmHelp::Layout();
    const Expected table[] = {
        {&zoomFlash, "fraSource", L"Button", BS_TYPEMASK, BS_GROUPBOX, L"Source Features"},
        {&zoomFlash, "Label7", L"Static", SS_TYPEMASK, SS_LEFT, L"Layer Name"},
        {&zoomFlash, "lblZoomFactor", L"Static", SS_TYPEMASK, SS_RIGHT, L"Zoom Factor"},
        {&zoomFlash, "cboLyr1", L"ComboBox", CBS_DROPDOWNLIST, CBS_DROPDOWNLIST, L""},
        {&zoomFlash, "txtSrcFlashTime", L"Edit", ES_RIGHT | ES_MULTILINE, ES_RIGHT, L"1.5"},
        {&zoomFlash, "chkFull", L"Button", BS_TYPEMASK, BS_CHECKBOX, L"Full Envelope"},
        {&zoomFlash, "cmdOK", L"Button", BS_TYPEMASK, BS_DEFPUSHBUTTON, L"OK"},
        {&zoomFlash, "cmdCancel", L"Button", BS_TYPEMASK, BS_PUSHBUTTON, L"Cancel"},
        {&help, "txtHelp", L"Edit", ES_MULTILINE | WS_VSCROLL, ES_MULTILINE | WS_VSCROLL, L""},
    };
    for (const Expected& expected : table) {
        Window window(*expected.layout);
        Win32Window view(window, ui.toolkit, nullptr);
        HWND control = view.ControlHandle(expected.name);
        REQUIRE(control != nullptr);
        const std::string where =
            std::string(expected.layout->name) + "." + std::string(expected.name);
        if (!CHECK_EQ(ClassOf(control), std::wstring(expected.windowClass)) ||
            !CHECK_EQ(StyleOf(control) & expected.styleMask, expected.style) ||
            !CHECK_EQ(TextOf(control), std::wstring(expected.text)) ||
            !CHECK_EQ(GetDlgCtrlID(control), ControlId(*expected.layout, expected.name))) {
            velorin::check::Fail(__FILE__, __LINE__, "at " + where);
        }
    }
    Window window(zoomFlash);
    Win32Window view(window, ui.toolkit, nullptr);
    CHECK_EQ(SendMessageW(view.ControlHandle("txtSrcFlashTime"), EM_GETLIMITTEXT, 0, 0), 5L);
    // No maximum: the edit's own largest.
    CHECK(SendMessageW(view.ControlHandle("txtZoomWidth"), EM_GETLIMITTEXT, 0, 0) >= 0x7FFFFFFE);
    // Enter's button is the default one.
    CHECK_EQ(LOWORD(SendMessageW(view.Dialog(), DM_GETDEFID, 0, 0)), ControlId(zoomFlash, "cmdOK"));
}

VELORIN_CASE(Layout, TabVisitsTheReachableControlsInTheFormsOrder) {
    UiThread ui;
    velorin::forms::frmZoomFlash form;  // its load sets the tab order
    form.Window().Load();
    form.Window().TextBox("txtZoomWidth").SetEnabled(false);
    Win32Window view(form.Window(), ui.toolkit, nullptr);
    ShowWindow(view.Dialog(), SW_SHOWNA);
    const std::vector<std::string_view> expected = {
        "cboLyr1", "cboFld1",       "txtSrcFlashTime", "cboLyr2", "cboFld2",   "txtRelFlashTime",
        "chkFull", "txtZoomFactor", "chkRelated",      "cmdOK",   "cmdCancel", "cmdHelp"};
    HWND current = view.ControlHandle(expected.front());
    for (std::size_t i = 1; i <= expected.size(); ++i) {
        current = GetNextDlgTabItem(view.Dialog(), current, FALSE);
        const std::string_view want = expected[i % expected.size()];
        if (!CHECK(current == view.ControlHandle(want))) {
            velorin::check::Fail(__FILE__, __LINE__, "Tab should reach " + std::string(want));
            break;
        }
    }
    form.Window().Unload();
}

VELORIN_CASE(Layout, ToolTipsCarryTheRowsTips) {
    UiThread ui;
    const WindowLayout& layout = velorin::forms::frmZoomFlash::Layout();
    Window window(layout);
    Win32Window view(window, ui.toolkit, nullptr);
    REQUIRE(view.ToolTips() != nullptr);
    long withTips = 0;
    for (const auto& row : layout.controls) {
        if (row.toolTip.empty()) continue;
        ++withTips;
        const std::wstring shown =
            ToolTipText(view.ToolTips(), view.Dialog(), view.ControlHandle(row.name));
        if (!CHECK_EQ(shown, velorin::win32::Widen(row.toolTip))) {
            velorin::check::Fail(__FILE__, __LINE__, "tip of " + std::string(row.name));
        }
    }
    CHECK(withTips > 5);
    CHECK_EQ(SendMessageW(view.ToolTips(), TTM_GETTOOLCOUNT, 0, 0), withTips);
}

// --- The models mirrored ------------------------------------------------------

VELORIN_CASE(Mirror, ModelChangesShowAtOnceWhoeverMakesThem) {
    UiThread ui;
    Window window(velorin::forms::frmZoomFlash::Layout());
    Win32Window view(window, ui.toolkit, nullptr);
    HWND list = view.ControlHandle("cboLyr1");
    auto& model = window.ComboBox("cboLyr1");
    model.AddItem("Catchment");
    model.AddItem("Watershed");
    model.AddItem("NerroJunction", 1);
    CHECK(ListEntries(list) ==
          (std::vector<std::wstring>{L"Catchment", L"NerroJunction", L"Watershed"}));
    model.SetListIndex(2);
    CHECK_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 2L);
    CHECK_EQ(TextOf(list), std::wstring(L"Watershed"));
    model.Clear();
    CHECK_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 0L);

    window.TextBox("txtZoomFactor").SetText("2\xC3\xA9");  // "2é": UTF-8 in, UTF-16 shown
    CHECK_EQ(TextOf(view.ControlHandle("txtZoomFactor")), std::wstring(L"2\u00E9"));
    window.CheckBox("chkRelated").SetValue(1);
    CHECK_EQ(SendMessageW(view.ControlHandle("chkRelated"), BM_GETCHECK, 0, 0),
             static_cast<LRESULT>(BST_CHECKED));
    window.SetCaption("Zoom and Flash 2");
    CHECK_EQ(TextOf(view.Dialog()), std::wstring(L"Zoom and Flash 2"));

    // A frame takes what it holds with it.
    auto& frame = window.Frame("fraSource");
    frame.SetEnabled(false);
    CHECK(!IsWindowEnabled(list));
    CHECK(IsWindowEnabled(view.ControlHandle("cboLyr2")));
    frame.SetEnabled(true);
    CHECK(IsWindowEnabled(list));
    frame.SetVisible(false);
    CHECK((StyleOf(list) & WS_VISIBLE) == 0);
    frame.SetVisible(true);
    CHECK((StyleOf(list) & WS_VISIBLE) != 0);
    frame.Move(frame.Left() + 300, frame.Top(), frame.Width(), frame.Height());
    CHECK_EQ(ClientRect(view.Dialog(), list).left, 16L + 20L);

    auto& field = window.ComboBox("cboFld1");
    field.SetToolTip("Another tip");
    CHECK_EQ(ToolTipText(view.ToolTips(), view.Dialog(), view.ControlHandle("cboFld1")),
             std::wstring(L"Another tip"));
    const auto tools = SendMessageW(view.ToolTips(), TTM_GETTOOLCOUNT, 0, 0);
    field.SetToolTip("");
    CHECK_EQ(SendMessageW(view.ToolTips(), TTM_GETTOOLCOUNT, 0, 0), tools - 1);
    window.Unload();
}

VELORIN_CASE(Mirror, UnloadingReturnsTheDialogToItsLayout) {
    UiThread ui;
    Window window(velorin::forms::frmZoomFlash::Layout());
    Win32Window view(window, ui.toolkit, nullptr);
    window.TextBox("txtSrcFlashTime").SetText("9");
    window.ComboBox("cboLyr1").AddItem("Catchment");
    window.Label("lblZoomFactor").SetEnabled(false);
    window.Unload();
    CHECK_EQ(TextOf(view.ControlHandle("txtSrcFlashTime")), std::wstring(L"1.5"));
    CHECK_EQ(SendMessageW(view.ControlHandle("cboLyr1"), CB_GETCOUNT, 0, 0), 0L);
    CHECK(IsWindowEnabled(view.ControlHandle("lblZoomFactor")));
}

// --- A person's actions -------------------------------------------------------

VELORIN_CASE(Person, TypingPickingAndClickingReachTheModel) {
    UiThread ui;
    const WindowLayout& layout = velorin::forms::frmZoomFlash::Layout();
    Window window(layout);
    Win32Window view(window, ui.toolkit, nullptr);
    HWND dialog = view.Dialog();
    int picks = 0;
    int okClicks = 0;
    int checks = 0;
    window.ComboBox("cboLyr2").OnClick([&picks] { ++picks; });
    window.Button("cmdOK").OnClick([&okClicks] { ++okClicks; });
    window.CheckBox("chkRelated").OnClick([&checks] { ++checks; });
    window.ComboBox("cboLyr2").AddItem("A");
    window.ComboBox("cboLyr2").AddItem("B");

    SendMessageW(view.ControlHandle("txtRelFlashTime"), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(L"0,75"));
    CHECK_EQ(window.TextBox("txtRelFlashTime").Text(), std::string("0,75"));

    HWND list = view.ControlHandle("cboLyr2");
    SendMessageW(list, CB_SETCURSEL, 1, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(ControlId(layout, "cboLyr2"), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    CHECK_EQ(window.ComboBox("cboLyr2").ListIndex(), 1);
    CHECK_EQ(picks, 1);

    SendMessageW(view.ControlHandle("chkRelated"), BM_CLICK, 0, 0);
    CHECK_EQ(window.CheckBox("chkRelated").Value(), 1);
    CHECK_EQ(SendMessageW(view.ControlHandle("chkRelated"), BM_GETCHECK, 0, 0),
             static_cast<LRESULT>(BST_CHECKED));
    CHECK_EQ(checks, 1);

    SendMessageW(view.ControlHandle("cmdOK"), BM_CLICK, 0, 0);
    CHECK_EQ(okClicks, 1);
    // A control the person cannot reach takes no click, even one sent to it.
    window.Button("cmdOK").SetEnabled(false);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(ControlId(layout, "cmdOK"), BN_CLICKED),
                 reinterpret_cast<LPARAM>(view.ControlHandle("cmdOK")));
    window.Frame("fraMethod").SetEnabled(false);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(ControlId(layout, "chkRelated"), BN_CLICKED),
                 reinterpret_cast<LPARAM>(view.ControlHandle("chkRelated")));
    CHECK_EQ(okClicks, 1);
    CHECK_EQ(window.CheckBox("chkRelated").Value(), 1);
    window.Unload();
}

VELORIN_CASE(Person, TextBeyondTheMaximumIsCutInModelAndEdit) {
    UiThread ui;
    Window window(velorin::forms::frmZoomFlash::Layout());
    Win32Window view(window, ui.toolkit, nullptr);
    HWND edit = view.ControlHandle("txtSrcFlashTime");
    // WM_SETTEXT passes the edit's own limit, as pasting through the program does.
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"123456789"));
    CHECK_EQ(window.TextBox("txtSrcFlashTime").Text(), std::string("12345"));
    CHECK_EQ(TextOf(edit), std::wstring(L"12345"));
    // A longer text the program set stays, and the edit's limit makes room for it.
    window.TextBox("txtSrcFlashTime").SetMaxLength(0);
    window.TextBox("txtSrcFlashTime").SetText("1234567");
    window.TextBox("txtSrcFlashTime").SetMaxLength(3);
    CHECK_EQ(TextOf(edit), std::wstring(L"1234567"));
    CHECK_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 7L);
    window.Unload();
}

// --- Modal shows --------------------------------------------------------------

VELORIN_CASE(Modal, AShowEndsWhenAHandlerHidesTheWindow) {
    UiThread ui;
    const WindowLayout& layout = velorin::forms::frmZoomFlash::Layout();
    Window window(layout);
    window.Button("cmdCancel").OnClick([&window] { window.Hide(); });
    ShowWith(window, [&layout](Person& person) {
        HWND dialog = person.WaitForWindow(L"Zoom and Flash");
        person.Click(dialog, ControlId(layout, "cmdCancel"));
        person.WaitUntilGone(dialog);
    });
    CHECK(window.Loaded());
    CHECK(!window.Visible());
    CHECK(!window.Modal());
    window.Unload();
}

VELORIN_CASE(Modal, TheCloseBoxUnloadsTheWindow) {
    UiThread ui;
    Window window(velorin::forms::frmZoomFlash::Layout());
    window.TextBox("txtZoomFactor").SetText("3");
    int unloads = 0;
    window.OnUnload([&unloads] { ++unloads; });
    ShowWith(window, [](Person& person) {
        HWND dialog = person.WaitForWindow(L"Zoom and Flash");
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        person.WaitUntilGone(dialog);
    });
    CHECK(!window.Loaded());
    CHECK_EQ(unloads, 1);
    CHECK_EQ(window.TextBox("txtZoomFactor").Text(), std::string("1.7"));
}

// The error edge's table, as every toolkit plays it (tests/ui/edge_cases.h).
VELORIN_CASE(Modal, WhatAHandlerRaisesIsShownOnceAndTheDialogStaysOpen) {
    UiThread ui;
    const WindowLayout& layout = velorin::forms::frmZoomFlash::Layout();
    Window window(layout);
    std::size_t presses = 0;
    window.Button("cmdHelp").OnClick([&presses] { kEdgeCases.at(presses++).raise(); });
    window.Button("cmdCancel").OnClick([&window] { window.Hide(); });
    ShowWith(window, [&layout](Person& person) {
        HWND dialog = person.WaitForWindow(L"Zoom and Flash");
        for (const velorin::ui::testing::EdgeCase& row : kEdgeCases) {
            person.Click(dialog, ControlId(layout, "cmdHelp"));
            HWND box = person.WaitForWindow(L"Velorin");
            if (person.BoxText(box) != velorin::win32::Widen(row.box)) {
                person.Fail(std::string(row.raised) + ": box text " +
                            velorin::win32test::Describe(person.BoxText(box)));
            }
            // Owned by the dialog, which waits disabled under it.
            if (GetWindow(box, GW_OWNER) != dialog || IsWindowEnabled(dialog)) {
                person.Fail("the box is not modal to the dialog");
            }
            person.Answer(box, IDOK);
            if (!IsWindowVisible(dialog) || !IsWindowEnabled(dialog)) {
                person.Fail(std::string(row.raised) + ": the dialog did not stay open");
            }
        }
        person.Click(dialog, ControlId(layout, "cmdCancel"));
        person.WaitUntilGone(dialog);
    });
    CHECK_EQ(presses, kEdgeCases.size());
    CHECK(!window.Visible());
    window.Unload();
}

VELORIN_CASE(Modal, HelpShownFromADialogKeepsItDisabledUntilHelpCloses) {
    UiThread ui;
    const WindowLayout& layout = velorin::forms::frmZoomFlash::Layout();
    Window window(layout);
    window.Button("cmdHelp").OnClick(
        [] { velorin::forms::ShowHelpWindow("Help:  Test", "First.\r\n\r\nSecond."); });
    window.Button("cmdCancel").OnClick([&window] { window.Hide(); });
    ShowWith(window, [&layout](Person& person) {
        HWND dialog = person.WaitForWindow(L"Zoom and Flash");
        person.Click(dialog, ControlId(layout, "cmdHelp"));
        HWND help = person.WaitForWindow(L"Help:  Test");
        const WindowLayout& helpLayout = velorin::forms::frmHelp::Layout();
        if (person.TextOf(person.Item(help, ControlId(helpLayout, "txtHelp"))) !=
            L"First.\r\n\r\nSecond.") {
            person.Fail("the help text is not shown");
        }
        if (IsWindowEnabled(dialog) || GetWindow(help, GW_OWNER) != dialog) {
            person.Fail("the dialog under the help window can still be used");
        }
        person.Click(help, ControlId(helpLayout, "cmdOK"));
        person.WaitUntilGone(help);
        if (!IsWindowEnabled(dialog)) {
            person.Fail("the dialog stayed disabled");
        }
        person.Click(dialog, ControlId(layout, "cmdCancel"));
        person.WaitUntilGone(dialog);
    });
    window.Unload();
}

VELORIN_CASE(Modal, EscPressesTheCancelButtonAndEnterTheDefault) {
    UiThread ui;
    // The help window's OK is both its default and its cancel button.
    for (const WPARAM key : {WPARAM{VK_ESCAPE}, WPARAM{VK_RETURN}}) {
        velorin::forms::frmHelp help;
        help.Window().SetCaption("Help:  Keys");
        ShowWith(help.Window(), [key](Person& person) {
            HWND dialog = person.WaitForWindow(L"Help:  Keys");
            PostMessageW(GetDlgItem(dialog, ControlId(velorin::forms::frmHelp::Layout(), "cmdOK")),
                         WM_KEYDOWN, key, 1);
            person.WaitUntilGone(dialog);
        });
        CHECK(!help.Window().Loaded());
    }
}

// --- Message boxes ------------------------------------------------------------

VELORIN_CASE(MessageBox, TitleButtonsIconAndAnswerAsAsked) {
    UiThread ui;
    using velorin::ui::MsgButtons;
    using velorin::ui::MsgIcon;
    using velorin::ui::MsgResult;
    struct Case {
        MsgButtons buttons;
        MsgIcon icon;
        std::string_view title;
        std::wstring_view shownTitle;
        int press;  // IDOK, IDCANCEL, or 0 for the close box
        MsgResult result;
    };
    const Case cases[] = {
        {MsgButtons::OkOnly, MsgIcon::None, "", L"Velorin", IDOK, MsgResult::Ok},
        {MsgButtons::OkOnly, MsgIcon::Critical, "", L"Velorin", 0, MsgResult::Ok},
        {MsgButtons::OkCancel, MsgIcon::None, "Paused", L"Paused", IDOK, MsgResult::Ok},
        {MsgButtons::OkCancel, MsgIcon::None, "Paused", L"Paused", IDCANCEL, MsgResult::Cancel},
        {MsgButtons::OkCancel, MsgIcon::Critical, "", L"Velorin", 0, MsgResult::Cancel},
    };
    for (const Case& c : cases) {
        Person person(GetCurrentThreadId(), [&c](Person& p) {
            HWND box = p.WaitForWindow(c.shownTitle);
            if (p.BoxText(box) != L"Line one\nline \u00E9 two") {
                p.Fail("text " + velorin::win32test::Describe(p.BoxText(box)));
            }
            if ((GetDlgItem(box, IDCANCEL) != nullptr) != (c.buttons == MsgButtons::OkCancel) ||
                GetDlgItem(box, IDOK) == nullptr) {
                p.Fail("wrong buttons");
            }
            if (p.BoxHasIcon(box) != (c.icon == MsgIcon::Critical)) {
                p.Fail("wrong icon");
            }
            if (c.press == 0) {
                PostMessageW(box, WM_CLOSE, 0, 0);
                p.WaitUntilGone(box);
            } else {
                p.Answer(box, c.press);
            }
        });
        const MsgResult result =
            ui.toolkit.MsgBox("Line one\nline \xC3\xA9 two", c.buttons, c.icon, c.title);
        person.Finish();
        CheckFailures(person);
        CHECK(result == c.result);
    }
}

// --- Numbers ------------------------------------------------------------------

VELORIN_CASE(Numbers, ReadAndWrittenWithTheLocalesSymbols) {
    using velorin::win32::FormatLocaleNumber;
    using velorin::win32::NumberSymbols;
    using velorin::win32::ParseLocaleNumber;
    const NumberSymbols english{".", ",", "-"};
    const NumberSymbols german{",", ".", "-"};
    const NumberSymbols french{",", "\xE2\x80\xAF", "-"};  // narrow no-break space groups
    const NumberSymbols swiss{".", "'", "-"};
    struct Parse {
        const NumberSymbols* symbols;
        std::string_view text;
        std::optional<double> value;
    };
    const Parse parses[] = {
        {&english, "1.5", 1.5},
        {&english, " -2.25 ", -2.25},
        {&english, "1,500", {}},
        {&english, "1,5", {}},
        {&german, "1,5", 1.5},
        {&german, "\t-0,75", -0.75},
        {&german, "1.5", {}},
        {&german, "1.500", {}},
        {&german, "1,5,0", {}},
        {&french, " 2,5 ", 2.5},
        {&french,
         "1\xE2\x80\xAF"
         "500",
         {}},
        {&swiss, "1'000", {}},
        {&swiss, "0.001", 0.001},
        {&english, "", {}},
        {&german, "nan", {}},
        {&german, "inf", {}},
        {&german, "1e400", {}},
        {&german, "3e2", 300.0},
    };
    for (const Parse& p : parses) {
        const std::optional<double> value = ParseLocaleNumber(p.text, *p.symbols);
        if (!CHECK(value == p.value)) {
            velorin::check::Fail(
                __FILE__, __LINE__,
                "parsing \"" + std::string(p.text) + "\" with decimal " + p.symbols->decimal);
        }
    }
    CHECK_EQ(FormatLocaleNumber(1234567.5, german), std::string("1234567,5"));
    CHECK_EQ(FormatLocaleNumber(0.1 + 0.2, german), std::string("0,3"));
    CHECK_EQ(FormatLocaleNumber(-1.7, english), std::string("-1.7"));
    CHECK_EQ(FormatLocaleNumber(-0.0, german), std::string("0"));
    CHECK_EQ(FormatLocaleNumber(300, german), std::string("300"));
    // What is written reads back.
    for (const double value : {1.5, -0.001, 123456789.125, 1e20}) {
        CHECK(ParseLocaleNumber(FormatLocaleNumber(value, german), german) == value);
    }
}

VELORIN_CASE(Numbers, TheToolkitFollowsTheUsersRegionalSettings) {
    UiThread ui;
    std::array<wchar_t, 16> decimal{};
    std::array<wchar_t, 16> group{};
    REQUIRE(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal.data(), 16) > 0);
    REQUIRE(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, group.data(), 16) > 0);
    REQUIRE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L","));
    REQUIRE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, L"."));
    const std::optional<double> comma = ui.toolkit.ParseNumber("1,5");
    const std::optional<double> point = ui.toolkit.ParseNumber("1.5");
    const std::string written = ui.toolkit.FormatNumber(2.25);
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal.data());
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, group.data());
    CHECK(comma == std::optional<double>(1.5));
    CHECK(!point.has_value());
    CHECK_EQ(written, std::string("2,25"));
}

// --- Pumping and Esc ----------------------------------------------------------

VELORIN_CASE(Esc, EachPressIsTakenOnceAndSurvivesPumping) {
    UiThread ui;
    const DWORD thread = GetCurrentThreadId();
    constexpr LPARAM kRepeat = LPARAM{1} << 30;
    PostThreadMessageW(thread, WM_KEYDOWN, VK_ESCAPE, 1);
    PostThreadMessageW(thread, WM_KEYDOWN, VK_ESCAPE, 1 | kRepeat);  // held down: not a press
    PostThreadMessageW(thread, WM_KEYDOWN, 'A', 1);
    PostThreadMessageW(thread, WM_KEYDOWN, VK_ESCAPE, 1);
    ui.toolkit.DoEvents();
    ui.toolkit.DoEvents();
    CHECK(ui.toolkit.TakeEscPress());
    CHECK(velorin::win32::TakeQueuedEscPress());  // another module's tracker takes the next
    CHECK(!ui.toolkit.TakeEscPress());
    MSG left{};
    CHECK(!PeekMessageW(&left, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE));
}

int g_timerCalls = 0;
void CALLBACK CountTimerCall(HWND, UINT, UINT_PTR, DWORD) { ++g_timerCalls; }

VELORIN_CASE(Esc, PumpingRunsWaitingMessagesAndLeavesAQuitForTheHost) {
    UiThread ui;
    g_timerCalls = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 1, &CountTimerCall);
    Sleep(30);
    ui.toolkit.DoEvents();
    KillTimer(nullptr, timer);
    CHECK(g_timerCalls >= 1);
    PostQuitMessage(7);
    ui.toolkit.DoEvents();
    MSG quit{};
    CHECK(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    CHECK_EQ(quit.wParam, WPARAM{7});
}

}  // namespace
