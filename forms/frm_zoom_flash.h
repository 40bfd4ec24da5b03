#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/application.h"
#include "host/map.h"
#include "ui/window.h"
#include "ui/window_layout.h"

namespace velorin::forms {

// The Zoom and Flash parameter dialog. One instance serves every run (see
// shared_dialogs.h): the run sets Application, calls FillInputs, shows the window
// modally and, when UserCancel reads false, reads the accepted values. The values
// stay as the last accepted OK stored them until the next accepted OK, and
// FillInputs offers them again.
//
// Flash times are seconds here; the run turns them into milliseconds.
//
// Errors: nothing is trapped. A host failure inside FillInputs passes to the run
// (and on to the command's trap); one inside a list's click handler after a pick
// by the person reaches the toolkit's event edge, which shows it and keeps the
// dialog open.
class frmZoomFlash {
  public:
    static const ui::WindowLayout& Layout();

    frmZoomFlash();
    // Unloads a window still loaded (its unload handler runs).
    ~frmZoomFlash();
    frmZoomFlash(const frmZoomFlash&) = delete;
    frmZoomFlash(frmZoomFlash&&) = delete;
    frmZoomFlash& operator=(const frmZoomFlash&) = delete;
    frmZoomFlash& operator=(frmZoomFlash&&) = delete;

    ui::Window& Window() { return m_window; }
    const ui::Window& Window() const { return m_window; }

    // Application (write-only): the lists reach the focus map through it; released
    // when the window unloads.
    void SetApplication(std::shared_ptr<host::IApplication> application);

    // Fills and preselects every input from the focus map, the remembered values
    // and the data-model names; sets UserCancel. Loads the window on first use.
    // Raises when there is no application or document.
    void FillInputs();

    const std::string& SourceLayer() const { return m_sourceLayer; }
    // May be "<None>".
    const std::string& SourceField() const { return m_sourceField; }
    double SourceFlashTime() const { return m_sourceFlashTime; }
    // May be "<None>".
    const std::string& RelatedLayer() const { return m_relatedLayer; }
    const std::string& RelatedField() const { return m_relatedField; }
    double RelatedFlashTime() const { return m_relatedFlashTime; }
    double ZoomFactor() const { return m_zoomFactor; }
    // Map units.
    double ZoomWidth() const { return m_zoomWidth; }
    // 1 Full Envelope, 2 Related Feature Envelope, 3 both; 0 before the first OK.
    std::int16_t ZoomMethod() const { return m_zoomMethod; }
    // True unless the current showing ended with an accepted OK.
    bool UserCancel() const { return m_userCancel; }
    bool SearchRelated() const { return m_searchRelated; }

  private:
    ui::ComboBox& cboLyr1() { return m_window.ComboBox("cboLyr1"); }
    ui::ComboBox& cboFld1() { return m_window.ComboBox("cboFld1"); }
    ui::ComboBox& cboLyr2() { return m_window.ComboBox("cboLyr2"); }
    ui::ComboBox& cboFld2() { return m_window.ComboBox("cboFld2"); }
    ui::TextBox& txtSrcFlashTime() { return m_window.TextBox("txtSrcFlashTime"); }
    ui::TextBox& txtRelFlashTime() { return m_window.TextBox("txtRelFlashTime"); }
    ui::TextBox& txtZoomFactor() { return m_window.TextBox("txtZoomFactor"); }
    ui::TextBox& txtZoomWidth() { return m_window.TextBox("txtZoomWidth"); }
    ui::CheckBox& chkFull() { return m_window.CheckBox("chkFull"); }
    ui::CheckBox& chkRelated() { return m_window.CheckBox("chkRelated"); }

    void FillSourceFields(bool useStored);
    void FillRelatedLayers();
    void FillRelatedFields(bool useStored);
    void EnableZoomFactor(bool enabled);
    void EnableZoomWidth(bool enabled);

    void OnLoad();
    void OnOk();
    void OnCancel();
    void OnHelp();

    ui::Window m_window;
    std::shared_ptr<host::IApplication> m_application;
    std::string m_sourceLayer;
    std::string m_sourceField;
    double m_sourceFlashTime = 0.0;
    std::string m_relatedLayer;
    std::string m_relatedField;
    double m_relatedFlashTime = 0.0;
    double m_zoomFactor = 0.0;
    double m_zoomWidth = 0.0;
    std::int16_t m_zoomMethod = 0;
    bool m_userCancel = false;
    bool m_searchRelated = false;
};

}  // namespace velorin::forms
