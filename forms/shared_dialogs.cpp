#include "forms/shared_dialogs.h"

#include "forms/frm_zoom_flash.h"

namespace velorin::forms {

frmZoomFlash& ZoomFlashDialog() { return SharedDialog<frmZoomFlash>(); }

bool HasZoomFlashDialog() noexcept { return HasSharedDialog<frmZoomFlash>(); }

void DropZoomFlashDialog() noexcept { DropSharedDialog<frmZoomFlash>(); }

}  // namespace velorin::forms
