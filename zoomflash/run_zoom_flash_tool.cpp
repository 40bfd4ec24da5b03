#include "zoomflash/run_zoom_flash_tool.h"

#include "forms/frm_zoom_flash.h"
#include "forms/shared_dialogs.h"
#include "ui/current_toolkit.h"
#include "ui/runtime_error.h"
#include "zoomflash/messages.h"
#include "zoomflash/run_zoom_flash.h"

namespace velorin::zoomflash {

std::int16_t FlashMilliseconds(double seconds) { return ui::ToInt16Checked(seconds * 1000.0); }

ZoomFlashParameters ReadParameters(const forms::frmZoomFlash& dialog) {
    ZoomFlashParameters parameters;
    parameters.sourceLayer = dialog.SourceLayer();
    const double sourceSeconds = dialog.SourceFlashTime();
    parameters.zoomMethod = dialog.ZoomMethod();
    parameters.zoomFactor = dialog.ZoomFactor();
    parameters.zoomWidth = dialog.ZoomWidth();
    double relatedSeconds = 0.0;
    if (dialog.SearchRelated()) {
        parameters.sourceField = dialog.SourceField();
        parameters.relatedLayer = dialog.RelatedLayer();
        parameters.relatedField = dialog.RelatedField();
        relatedSeconds = dialog.RelatedFlashTime();
    }
    parameters.sourceFlashTime = FlashMilliseconds(sourceSeconds);
    parameters.relatedFlashTime = FlashMilliseconds(relatedSeconds);
    return parameters;
}

void RunZoomFlashTool(const std::shared_ptr<host::IApplication>& application) {
    forms::frmZoomFlash& dialog = forms::ZoomFlashDialog();
    dialog.SetApplication(application);
    dialog.FillInputs();
    ui::Toolkit& toolkit = ui::CurrentToolkit();
    toolkit.ShowModal(dialog.Window());
    if (dialog.UserCancel()) return;

    if (!RunZoomFlash(application, ReadParameters(dialog)).interrupted) {
        toolkit.MsgBox(text::kFinished);
    }
}

}  // namespace velorin::zoomflash
