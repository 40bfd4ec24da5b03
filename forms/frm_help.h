#pragma once

#include <span>
#include <string>
#include <string_view>

#include "ui/window.h"
#include "ui/window_layout.h"

namespace velorin::forms {

// The help window: a text chosen by the caller and an OK button that closes it.
// The layout is fixed (twips); the window holds no logic beyond closing.
//
// The text stays editable (nothing reads it back, and a person may want to
// select and copy a passage). OK is both the default and the cancel button, so
// Enter and Esc close the window as OK does; the close box closes it the same
// way (the window unloads).
class frmHelp {
  public:
    static const ui::WindowLayout& Layout();

    frmHelp();
    // Unloads a window still loaded, so its toolkit mirror goes away with it.
    ~frmHelp();
    frmHelp(const frmHelp&) = delete;
    frmHelp(frmHelp&&) = delete;
    frmHelp& operator=(const frmHelp&) = delete;
    frmHelp& operator=(frmHelp&&) = delete;

    ui::Window& Window() { return m_window; }
    ui::TextBox& txtHelp() { return m_window.TextBox("txtHelp"); }
    ui::CommandButton& cmdOK() { return m_window.Button("cmdOK"); }

  private:
    ui::Window m_window;
};

// The Help button of a dialog: a fresh help window showing `text` under
// `caption`, shown modally through the running thread's toolkit with no owner,
// and discarded when it closes, so every press starts from a new window. Errors
// of loading or showing pass to the caller.
void ShowHelpWindow(std::string_view caption, std::string text);

// Paragraphs joined by an empty line (two carriage-return line-feed pairs), with
// nothing after the last: the form of every help text.
std::string JoinHelpParagraphs(std::span<const std::string_view> paragraphs);

}  // namespace velorin::forms
