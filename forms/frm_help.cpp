#include "forms/frm_help.h"

#include "ui/current_toolkit.h"

namespace velorin::forms {

namespace {

constexpr ui::ControlLayout kHelpControls[] = {
    {.name = "txtHelp",
     .kind = ui::ControlKind::TextBox,
     .left = 120,
     .top = 120,
     .width = 5052,
     .height = 5412,
     .tabIndex = 0,
     .settings = {.multiLine = true, .verticalScrollBar = true}},
    {.name = "cmdOK",
     .kind = ui::ControlKind::CommandButton,
     .caption = "OK",
     .left = 2280,
     .top = 5640,
     .width = 732,
     .height = 372,
     .tabIndex = 1,
     .settings = {.defaultButton = true, .cancelButton = true}},
};

constexpr ui::WindowLayout kHelpLayout{.name = "frmHelp",
                                       .caption = "Help",
                                       .clientWidth = 5295,
                                       .clientHeight = 6105,
                                       .controls = kHelpControls};

}  // namespace

const ui::WindowLayout& frmHelp::Layout() { return kHelpLayout; }

frmHelp::frmHelp() : m_window(kHelpLayout) {
    // OK, not the text, has the focus when the window opens.
    m_window.OnLoad([this] { cmdOK().SetTabIndex(0); });
    cmdOK().OnClick([this] { m_window.Unload(); });
}

frmHelp::~frmHelp() {
    if (m_window.Loaded()) m_window.Unload();
}

void ShowHelpWindow(std::string_view caption, std::string text) {
    frmHelp help;
    help.Window().Load();
    help.txtHelp().SetText(std::move(text));
    help.Window().SetCaption(std::string(caption));
    ui::CurrentToolkit().ShowModal(help.Window());
}

std::string JoinHelpParagraphs(std::span<const std::string_view> paragraphs) {
    std::string text;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        if (i > 0) text += "\r\n\r\n";
        text += paragraphs[i];
    }
    return text;
}

}  // namespace velorin::forms
