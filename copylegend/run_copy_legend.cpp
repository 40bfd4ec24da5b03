#include "copylegend/run_copy_legend.h"

#include "copylegend/copy_legend_colors.h"
#include "copylegend/copy_legend_parameters.h"
#include "forms/frm_copy_legend.h"
#include "forms/shared_dialogs.h"
#include "ui/current_toolkit.h"

namespace velorin::copylegend {

void RunCopyLegend(const std::shared_ptr<host::IApplication>& application) {
    forms::frmCopyLegend& dialog = forms::CopyLegendDialog();
    dialog.SetApplication(application);
    dialog.FillInputs();
    ui::CurrentToolkit().ShowModal(dialog.Window());
    if (dialog.UserCancel()) return;

    const CopyLegendParameters parameters{.sourceLayer = dialog.SourceLayer(),
                                          .sourceField = dialog.SourceField(),
                                          .relatedLayer = dialog.RelatedLayer(),
                                          .relatedField = dialog.RelatedField()};
    const bool notCompleted = CopyLegendColors(application, parameters);
    // A refusal has shown its own box and an Esc is silent: only a completed run
    // is announced.
    if (!notCompleted) ui::CurrentToolkit().MsgBox(kFinishedText);
}

}  // namespace velorin::copylegend
