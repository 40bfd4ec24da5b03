#pragma once

#include "commands/com/com_prelude.h"
#include "commands/com/server_descriptor.h"

namespace velorin::com {

// The generic in-process server support. The library's four exports and its
// DllMain hand over to one instance of it and add nothing of their own. Every
// member is safe to call from a COM client: nothing throws out of it.
class InprocServer {
  public:
    // `descriptor` must outlive the server (it is a constant of the library).
    explicit constexpr InprocServer(const ServerDescriptor& descriptor)
        : m_descriptor(descriptor) {}

    BOOL OnDllMain(HINSTANCE module, DWORD reason) const noexcept;

    // S_OK when no object of the library and no server lock is outstanding,
    // otherwise S_FALSE.
    HRESULT CanUnloadNow() const noexcept;

    // A new class factory for one of the descriptor's classes;
    // CLASS_E_CLASSNOTAVAILABLE for any other class identifier. From the first
    // factory on, the module stays mapped until the process ends (see
    // PinThisModule); DllCanUnloadNow still reports honestly.
    HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** object) const noexcept;

    // Registers the embedded type library and, for each class, its CLSID key
    // (in-process server = this module, ThreadingModel, ProgID, TypeLib) and
    // its ProgID key. A failure undoes what was written and is returned.
    HRESULT RegisterServer() const noexcept;

    // Removes what RegisterServer writes; entries already gone are no failure,
    // so unregistering twice is harmless. A ProgID that another class has
    // taken over since is left alone.
    HRESULT UnregisterServer() const noexcept;

  private:
    const ServerDescriptor& m_descriptor;
};

}  // namespace velorin::com
