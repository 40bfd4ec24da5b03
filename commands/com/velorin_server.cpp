// Velorin.dll: the library's descriptor and its entry points. Each entry point
// only hands over to the generic in-process server support.
#include "commands/cls_copy_legend.h"
#include "commands/cls_zoom_flash.h"
#include "commands/com/inproc_server.h"
#include "commands/com/velorin.h"

namespace {

using velorin::com::ClassDescriptor;
using velorin::com::InprocServer;
using velorin::com::ServerDescriptor;

std::unique_ptr<velorin::commands::Command> MakeZoomFlash() {
    return std::make_unique<velorin::commands::clsZoomFlash>();
}

std::unique_ptr<velorin::commands::Command> MakeCopyLegend() {
    return std::make_unique<velorin::commands::clsCopyLegend>();
}

const ClassDescriptor kClasses[] = {
    {CLSID_clsZoomFlash, IID__clsZoomFlash, L"clsZoomFlash", &MakeZoomFlash},
    {CLSID_clsCopyLegend, IID__clsCopyLegend, L"clsCopyLegend", &MakeCopyLegend},
};

const ServerDescriptor kVelorin{
    .libraryName = L"Velorin",
    .typeLibraryId = LIBID_Velorin,
    .typeLibraryMajor = 18,
    .typeLibraryMinor = 0,
    .typeLibraryLocale = 0,
    .threadingModel = L"Apartment",
    .classes = kClasses,
};

const InprocServer kServer{kVelorin};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
    return kServer.OnDllMain(module, reason);
}

STDAPI DllCanUnloadNow() { return kServer.CanUnloadNow(); }

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* object) {
    return kServer.GetClassObject(classId, iid, object);
}

STDAPI DllRegisterServer() { return kServer.RegisterServer(); }

STDAPI DllUnregisterServer() { return kServer.UnregisterServer(); }
