#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "host/application.h"
#include "ui/window.h"
#include "ui/window_layout.h"

namespace velorin::forms {

// What the two parameter dialogs share: the window and its lifecycle, the
// application the lists reach the focus map through, UserCancel, the Source and
// Related pick lists and the three buttons.
//
// One opening: the run sets Application, calls the dialog's FillInputs (which
// starts with BeginOpening), shows the window modally and, when UserCancel reads
// false, reads the accepted values. It ends in one of three ways:
//   accepted OK (the dialog's OnOk stores its values and calls Accept):
//     UserCancel false, window hidden;
//   Cancel: UserCancel true, window hidden, nothing stored;
//   close box: the window unloads, the application is released, UserCancel
//     stays true.
// UserCancel is true after the window loads, after every BeginOpening and
// after Cancel, and false only after an accepted OK.
//
// Errors: nothing is trapped. A host failure inside FillInputs passes to the run
// (and on to the command's trap); one inside a click handler after a pick by the
// person reaches the toolkit's event edge, which shows it and keeps the dialog
// open.
class ParameterDialog {
  public:
    ParameterDialog(const ParameterDialog&) = delete;
    ParameterDialog(ParameterDialog&&) = delete;
    ParameterDialog& operator=(const ParameterDialog&) = delete;
    ParameterDialog& operator=(ParameterDialog&&) = delete;

    ui::Window& Window() { return m_window; }
    const ui::Window& Window() const { return m_window; }

    // Application (write-only): kept until the window unloads. May be empty;
    // FillInputs then raises the host's "object variable not set".
    void SetApplication(std::shared_ptr<host::IApplication> application);

    // True unless the current showing ended with an accepted OK.
    bool UserCancel() const { return m_userCancel; }

    ui::ComboBox& cboLyr1() { return m_window.ComboBox("cboLyr1"); }
    ui::ComboBox& cboFld1() { return m_window.ComboBox("cboFld1"); }
    ui::ComboBox& cboLyr2() { return m_window.ComboBox("cboLyr2"); }
    ui::ComboBox& cboFld2() { return m_window.ComboBox("cboFld2"); }
    ui::CommandButton& cmdOK() { return m_window.Button("cmdOK"); }
    ui::CommandButton& cmdCancel() { return m_window.Button("cmdCancel"); }
    ui::CommandButton& cmdHelp() { return m_window.Button("cmdHelp"); }

  protected:
    // `tabOrder` names the controls in the order Tab visits them; it is applied
    // every time the window loads and must outlive the dialog.
    ParameterDialog(const ui::WindowLayout& layout, std::span<const std::string_view> tabOrder);
    // Unloads a window still loaded (its unload handler runs), so its toolkit
    // mirror goes away with it.
    virtual ~ParameterDialog();

    const std::shared_ptr<host::IApplication>& Application() const { return m_application; }

    // The start of FillInputs: UserCancel true.
    void BeginOpening() { m_userCancel = true; }
    // The end of an accepted OK, after the values are stored.
    void Accept();

  private:
    // cmdOK: the dialog's checks; on success it stores its values and calls Accept.
    virtual void OnOk() = 0;
    // cmdHelp: the dialog's help window.
    virtual void OnHelp() = 0;
    void OnLoad();
    void OnCancel();

    ui::Window m_window;
    std::span<const std::string_view> m_tabOrder;
    std::shared_ptr<host::IApplication> m_application;
    bool m_userCancel = true;
};

}  // namespace velorin::forms
