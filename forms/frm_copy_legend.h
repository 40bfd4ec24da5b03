#pragma once

#include <string>

#include "forms/parameter_dialog.h"
#include "ui/window_layout.h"

namespace velorin::forms {

// The Copy Legend Colors dialog: the Source layer and key field, the Related
// layer and key field. It fills its lists from the focus map, prefers the names
// accepted last time and a few data-model names, checks the choice on OK and
// hands it to the run through read-only properties. The lifecycle of an opening
// is ParameterDialog's.
//
// The accepted names live in the object, not in the window, so they survive
// hiding and closing the window; they are lost only when the shared instance is
// dropped. Esc presses Cancel, as in any dialog of the desktop.
class frmCopyLegend final : public ParameterDialog {
  public:
    static const ui::WindowLayout& Layout();

    frmCopyLegend();

    // Sets UserCancel and fills the four lists from the focus map, loading the
    // window when it is not loaded. Host failures pass to the caller.
    void FillInputs();

    // The names accepted with the last valid OK; empty until then.
    const std::string& SourceLayer() const { return m_sourceLayer; }
    const std::string& SourceField() const { return m_sourceField; }
    const std::string& RelatedLayer() const { return m_relatedLayer; }
    const std::string& RelatedField() const { return m_relatedField; }

  private:
    void FillSourceFields(bool useStored);
    void FillRelatedFields(bool useStored);
    void OnOk() override;
    void OnHelp() override;

    std::string m_sourceLayer;
    std::string m_sourceField;
    std::string m_relatedLayer;
    std::string m_relatedField;
};

// The help window of Copy Legend Colors, as its dialog's Help button shows it
// (for a host's Help menu).
void ShowCopyLegendHelp();

}  // namespace velorin::forms
