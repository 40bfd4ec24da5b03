#include "commands/com/module_state.h"

#include <atomic>

#include "commands/com/hresult_guard.h"
#include "host/error.h"

namespace velorin::com {
namespace {

// Atomics, not locks: objects live in the host's single-threaded apartment, but
// COM may ask DllCanUnloadNow from any thread.
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

}  // namespace

void ObjectCreated() noexcept { ++g_objects; }
void ObjectDestroyed() noexcept { --g_objects; }
void ServerLocked() noexcept { ++g_locks; }
void ServerUnlocked() noexcept {
    // An unbalanced unlock must not turn the count negative and report the
    // server idle while a legitimate lock is still held.
    long current = g_locks.load();
    while (current > 0 && !g_locks.compare_exchange_weak(current, current - 1)) {
    }
}
bool ServerInUse() noexcept { return g_objects.load() > 0 || g_locks.load() > 0; }

HMODULE ThisModule() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

void PinThisModule() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&PinThisModule), &module);
}

std::wstring ThisModulePath() {
    // Paths may exceed MAX_PATH; grow until the name fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            throw velorin::Error(static_cast<std::int32_t>(HRESULT_FROM_WIN32(GetLastError())),
                                 "Cannot read the library's file name");
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

HRESULT LoadOwnTypeLibrary(ITypeLib** library) noexcept {
    if (library == nullptr) {
        return E_POINTER;
    }
    *library = nullptr;
    return Guarded([&] {
        const std::wstring path = ThisModulePath();
        // REGKIND_NONE: reading the library must never register it.
        return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
    });
}

}  // namespace velorin::com
