#pragma once

#include <memory>
#include <utility>

// The per-thread shared dialog instances: one per tool, created on first use,
// kept (hidden) between runs so that each remembers the values last accepted
// with OK, and shared by every command object of the tool. Everything runs on
// the one user-interface thread, so a thread_local holder is all it takes.
namespace velorin::forms {

class frmZoomFlash;
class frmCopyLegend;

// The slot of a dialog type; for the named pairs below, not for direct use.
template <class Form>
std::unique_ptr<Form>& SharedDialogSlot() {
    thread_local std::unique_ptr<Form> slot;
    return slot;
}

// The shared instance, created on first use. Form needs a default constructor.
template <class Form>
Form& SharedDialog() {
    std::unique_ptr<Form>& slot = SharedDialogSlot<Form>();
    if (!slot) slot = std::make_unique<Form>();
    return *slot;
}

template <class Form>
bool HasSharedDialog() noexcept {
    return SharedDialogSlot<Form>() != nullptr;
}

// Unloads the shared instance's window (its unload handler runs, releasing what
// the dialog holds) and drops the instance, so the next SharedDialog starts
// afresh. Nothing happens when there is none. The slot is emptied first, so a
// handler that asks for the dialog again cannot reach the one being dropped.
// Form needs Window() returning its ui::Window.
template <class Form>
void DropSharedDialog() {
    std::unique_ptr<Form> form = std::move(SharedDialogSlot<Form>());
    if (form) form->Window().Unload();
}

// Zoom and Flash.
frmZoomFlash& ZoomFlashDialog();
bool HasZoomFlashDialog() noexcept;
// Called when a clsZoomFlash ends, from its destructor: the dialog's unload
// handler only releases references and raises nothing.
void DropZoomFlashDialog() noexcept;

// Copy Legend Colors, on the same pattern (defined with frmCopyLegend).
frmCopyLegend& CopyLegendDialog();
bool HasCopyLegendDialog() noexcept;
// Called when a clsCopyLegend ends, from its destructor.
void DropCopyLegendDialog() noexcept;

}  // namespace velorin::forms
