#pragma once

#include <cstdint>
#include <string>

#include "forms/parameter_dialog.h"
#include "ui/window_layout.h"

namespace velorin::forms {

// The Zoom and Flash parameter dialog. One instance serves every run (see
// shared_dialogs.h); the lifecycle of an opening is ParameterDialog's. The
// values stay as the last accepted OK stored them until the next accepted OK,
// and FillInputs offers them again.
//
// Flash times are seconds here; the run turns them into milliseconds.
class frmZoomFlash final : public ParameterDialog {
  public:
    static const ui::WindowLayout& Layout();

    frmZoomFlash();

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
    bool SearchRelated() const { return m_searchRelated; }

    ui::TextBox& txtSrcFlashTime() { return Window().TextBox("txtSrcFlashTime"); }
    ui::TextBox& txtRelFlashTime() { return Window().TextBox("txtRelFlashTime"); }
    ui::TextBox& txtZoomFactor() { return Window().TextBox("txtZoomFactor"); }
    ui::TextBox& txtZoomWidth() { return Window().TextBox("txtZoomWidth"); }
    ui::CheckBox& chkFull() { return Window().CheckBox("chkFull"); }
    ui::CheckBox& chkRelated() { return Window().CheckBox("chkRelated"); }

  private:
    void FillSourceFields(bool useStored);
    void FillRelatedLayers();
    void FillRelatedFields(bool useStored);
    void EnableZoomFactor(bool enabled);
    void EnableZoomWidth(bool enabled);

    void OnOk() override;
    void OnHelp() override;

    std::string m_sourceLayer;
    std::string m_sourceField;
    double m_sourceFlashTime = 0.0;
    std::string m_relatedLayer;
    std::string m_relatedField;
    double m_relatedFlashTime = 0.0;
    double m_zoomFactor = 0.0;
    double m_zoomWidth = 0.0;
    std::int16_t m_zoomMethod = 0;
    bool m_searchRelated = false;
};

// The help window of Zoom and Flash, as its dialog's Help button shows it (for a
// host's Help menu).
void ShowZoomFlashHelp();

}  // namespace velorin::forms
