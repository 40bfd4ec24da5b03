#include "commands/com/application_bridge.h"

namespace velorin::com {

std::shared_ptr<host::IApplication> ApplicationFromHook(::IUnknown* hook) {
    if (hook == nullptr) {
        return {};
    }
    IVelorinApplicationBridge* bridge = nullptr;
    if (FAILED(hook->QueryInterface(kIidApplicationBridge, reinterpret_cast<void**>(&bridge))) ||
        bridge == nullptr) {
        return {};
    }
    std::shared_ptr<host::IApplication> application;
    const HRESULT hr = bridge->GetApplication(&application);
    bridge->Release();
    if (FAILED(hr)) {
        return {};
    }
    return application;
}

}  // namespace velorin::com
