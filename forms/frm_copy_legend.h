#pragma once

#include <memory>
#include <string>

#include "host/application.h"
#include "ui/window.h"
#include "ui/window_layout.h"

namespace velorin::forms {

// The Copy Legend Colors dialog: the Source layer and key field, the Related
// layer and key field. It fills its lists from the focus map, prefers the names
// accepted last time and a few data-model names, checks the choice on OK and
// hands it to the run through read-only properties.
//
// The accepted names and UserCancel live in the object, not in the window, so
// they survive hiding and closing the window; they are lost only when the shared
// instance is dropped. Closing the window with its close box unloads it (the
// application reference is released) and leaves UserCancel true.
//
// Our choice: Esc presses Cancel, as in any dialog of the desktop.
class frmCopyLegend {
  public:
    static const ui::WindowLayout& Layout();

    frmCopyLegend();
    // Unloads a window still loaded, so its toolkit mirror goes away with it.
    ~frmCopyLegend();
    frmCopyLegend(const frmCopyLegend&) = delete;
    frmCopyLegend(frmCopyLegend&&) = delete;
    frmCopyLegend& operator=(const frmCopyLegend&) = delete;
    frmCopyLegend& operator=(frmCopyLegend&&) = delete;

    // The write-only Application property: kept until the window unloads. May be
    // empty; FillInputs then raises the host's "object variable not set".
    void SetApplication(std::shared_ptr<host::IApplication> application);

    // Sets UserCancel and fills the four lists from the focus map, loading the
    // window when it is not loaded. Host failures pass to the caller.
    void FillInputs();

    // The names accepted with the last valid OK; empty until then.
    const std::string& SourceLayer() const { return m_sourceLayer; }
    const std::string& SourceField() const { return m_sourceField; }
    const std::string& RelatedLayer() const { return m_relatedLayer; }
    const std::string& RelatedField() const { return m_relatedField; }
    // False only after a valid OK, until the next FillInputs, Cancel or load.
    bool UserCancel() const { return m_userCancel; }

    ui::Window& Window() { return m_window; }
    ui::ComboBox& cboLyr1() { return m_window.ComboBox("cboLyr1"); }
    ui::ComboBox& cboFld1() { return m_window.ComboBox("cboFld1"); }
    ui::ComboBox& cboLyr2() { return m_window.ComboBox("cboLyr2"); }
    ui::ComboBox& cboFld2() { return m_window.ComboBox("cboFld2"); }
    ui::CommandButton& cmdOK() { return m_window.Button("cmdOK"); }
    ui::CommandButton& cmdCancel() { return m_window.Button("cmdCancel"); }
    ui::CommandButton& cmdHelp() { return m_window.Button("cmdHelp"); }

  private:
    void FillSourceFields(bool useStored);
    void FillRelatedFields(bool useStored);
    void OnOk();
    void OnCancel();
    void OnHelp();

    ui::Window m_window;
    std::shared_ptr<host::IApplication> m_application;
    std::string m_sourceLayer;
    std::string m_sourceField;
    std::string m_relatedLayer;
    std::string m_relatedField;
    bool m_userCancel = true;
};

}  // namespace velorin::forms
