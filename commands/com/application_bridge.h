#pragma once

#include <memory>

#include "commands/com/com_prelude.h"
#include "host/application.h"

// IVelorinApplicationBridge {37BE763A-98F6-423A-B28F-A090BA2AD27C}
//
// The seam between a host's COM object model and the extension's portable one
// (host/). A command's OnCreate receives the host's hook as an IDispatch and
// asks it for this interface; the portable application it yields is what the
// tool runs against. A host built around the reference map host implements it
// on its hook object; an adapter over a real host's own object model would
// implement the same interface and keep the rest of the library unchanged.
//
// The interface passes a C++ object, so it is only meaningful in-process,
// between modules built by the same compiler and C++ library (i686 MinGW-w64,
// GCC 12) — it is never marshalled and deliberately absent from the type
// library. Host calls report failures by throwing velorin::Error; such an
// exception can only reach the command's trap when the throwing module and
// Velorin.dll unwind with one runtime, so a host living in another module must
// either share that runtime or keep its calls from throwing across the border.
struct IVelorinApplicationBridge : public IUnknown {
    // On S_OK, *application holds a new reference to the host's application
    // (never empty) and the caller owns that reference; the bridge keeps its
    // own. On failure *application is left as it was. A null `application`
    // gives E_POINTER. Must not throw.
    virtual HRESULT STDMETHODCALLTYPE
    GetApplication(std::shared_ptr<velorin::host::IApplication>* application) = 0;

  protected:
    // Bridges are released through IUnknown::Release, never deleted through
    // this interface.
    IVelorinApplicationBridge() = default;
    IVelorinApplicationBridge(const IVelorinApplicationBridge&) = default;
    IVelorinApplicationBridge(IVelorinApplicationBridge&&) = default;
    IVelorinApplicationBridge& operator=(const IVelorinApplicationBridge&) = default;
    IVelorinApplicationBridge& operator=(IVelorinApplicationBridge&&) = default;
    ~IVelorinApplicationBridge() = default;
};

__CRT_UUID_DECL(IVelorinApplicationBridge, 0x37be763a, 0x98f6, 0x423a, 0xb2, 0x8f, 0xa0, 0x90, 0xba,
                0x2a, 0xd2, 0x7c)

namespace velorin::com {

inline constexpr IID kIidApplicationBridge = {
    0x37be763a, 0x98f6, 0x423a, {0xb2, 0x8f, 0xa0, 0x90, 0xba, 0x2a, 0xd2, 0x7c}};

// The portable application behind a hook handed to OnCreate, or empty when the
// hook (which may be null) offers none or its bridge fails. This is the one
// place that knows how a hook becomes an application: a bridge over a real
// host's object model slots in here.
std::shared_ptr<host::IApplication> ApplicationFromHook(::IUnknown* hook);

}  // namespace velorin::com
