#pragma once

#include <string>

#include "commands/com/com_prelude.h"

// What the whole library shares: the count of live objects and server locks
// that decides whether the module may be unloaded, and the module's own file.
namespace velorin::com {

// Every COM object of the library (command objects and class factories) counts
// itself from construction to destruction.
void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
// IClassFactory::LockServer(TRUE / FALSE).
void ServerLocked() noexcept;
void ServerUnlocked() noexcept;
// True while an object lives or a lock is held.
bool ServerInUse() noexcept;

// The module this code is linked into (Velorin.dll, or a test program that
// links the support statically).
HMODULE ThisModule() noexcept;
// Keeps this module mapped until the process ends, whatever FreeLibrary calls
// follow. The C++ runtime holds the module while a thread that touched the
// shared dialogs' per-thread holders lives, and releases it from inside that
// thread's exit notification, still running in the module: when that release
// is the last one, the module is unmapped under its own code and the thread
// crashes on exit. Pinned, it never is. Idempotent.
void PinThisModule() noexcept;

// Its full path. Raises velorin::Error with the system's HRESULT when it
// cannot be read.
std::wstring ThisModulePath();

// The type library embedded in this module as TYPELIB resource 1, loaded
// without touching the registry. On S_OK the caller owns *library.
HRESULT LoadOwnTypeLibrary(ITypeLib** library) noexcept;

}  // namespace velorin::com
