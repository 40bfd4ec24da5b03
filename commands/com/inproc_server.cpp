#include "commands/com/inproc_server.h"

#include <array>
#include <string>
#include <string_view>

#include "commands/com/class_factory.h"
#include "commands/com/hresult_guard.h"
#include "commands/com/module_state.h"
#include "host/error.h"

namespace velorin::com {
namespace {

constexpr int kGuidTextLength = 39;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and NUL

std::wstring GuidText(const GUID& guid) {
    std::array<wchar_t, kGuidTextLength> text{};
    StringFromGUID2(guid, text.data(), kGuidTextLength);
    return text.data();
}

[[noreturn]] void RaiseWin32(LSTATUS status, std::string_view what) {
    throw velorin::Error(static_cast<std::int32_t>(HRESULT_FROM_WIN32(status)), std::string(what));
}

void RaiseIfFailed(HRESULT hr, std::string_view what) {
    if (FAILED(hr)) {
        throw velorin::Error(static_cast<std::int32_t>(hr), std::string(what));
    }
}

// An open registry key, closed when it goes.
class RegistryKey {
  public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey& operator=(RegistryKey&&) = delete;
    ~RegistryKey() {
        if (m_key != nullptr) {
            RegCloseKey(m_key);
        }
    }

    HKEY* Receive() { return &m_key; }
    HKEY Get() const { return m_key; }

  private:
    HKEY m_key = nullptr;
};

// Creates HKCR\<path> as needed and sets its value `name` (null: the default
// value) to the string `value`.
void WriteClassesValue(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    RegistryKey key;
    LSTATUS status =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, key.Receive(), nullptr);
    if (status != ERROR_SUCCESS) {
        RaiseWin32(status, "Cannot create a registry key of the library");
    }
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    status = RegSetValueExW(key.Get(), name, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    if (status != ERROR_SUCCESS) {
        RaiseWin32(status, "Cannot write a registry value of the library");
    }
}

// The default value of HKCR\<path>, or an empty text when there is none.
std::wstring ReadClassesDefault(const std::wstring& path) {
    RegistryKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) !=
        ERROR_SUCCESS) {
        return {};
    }
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.Get(), nullptr, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &bytes) != ERROR_SUCCESS) {
        return {};
    }
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

// Deletes HKCR\<path> with everything below it; a key already gone is fine.
LSTATUS DeleteClassesTree(const std::wstring& path) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        return ERROR_SUCCESS;
    }
    // RegDeleteTree leaves the emptied key itself behind on some systems.
    return RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str()) == ERROR_SUCCESS ? ERROR_SUCCESS : status;
}

std::wstring ProgId(const ServerDescriptor& server, const ClassDescriptor& cls) {
    return std::wstring(server.libraryName) + L"." + cls.className;
}

void RegisterTypeLibrary(const std::wstring& modulePath) {
    ITypeLib* library = nullptr;
    // Loaded without registration and registered with the module's own path:
    // REGKIND_REGISTER may record a device path (\\?\...) instead.
    RaiseIfFailed(LoadOwnTypeLibrary(&library), "Cannot load the library's type library");
    // The SDK declares the path non-const; RegisterTypeLib only reads it.
    const HRESULT hr = RegisterTypeLib(library, const_cast<LPOLESTR>(modulePath.c_str()), nullptr);
    library->Release();
    RaiseIfFailed(hr, "Cannot register the library's type library");
}

void RegisterClass(const ServerDescriptor& server, const ClassDescriptor& cls,
                   const std::wstring& modulePath) {
    const std::wstring progId = ProgId(server, cls);
    const std::wstring classId = GuidText(cls.classId);
    const std::wstring classKey = L"CLSID\\" + classId;
    WriteClassesValue(classKey, nullptr, progId);
    WriteClassesValue(classKey + L"\\InprocServer32", nullptr, modulePath);
    WriteClassesValue(classKey + L"\\InprocServer32", L"ThreadingModel", server.threadingModel);
    WriteClassesValue(classKey + L"\\ProgID", nullptr, progId);
    WriteClassesValue(classKey + L"\\TypeLib", nullptr, GuidText(server.typeLibraryId));
    WriteClassesValue(progId, nullptr, progId);
    WriteClassesValue(progId + L"\\CLSID", nullptr, classId);
}

}  // namespace

BOOL InprocServer::OnDllMain(HINSTANCE /*module*/, DWORD /*reason*/) const noexcept {
    // Nothing to set up or tear down. Thread notifications stay on
    // (no DisableThreadLibraryCalls): the runtime destroys the shared dialogs'
    // per-thread holders through them.
    return TRUE;
}

HRESULT InprocServer::CanUnloadNow() const noexcept { return ServerInUse() ? S_FALSE : S_OK; }

HRESULT InprocServer::GetClassObject(REFCLSID classId, REFIID iid, void** object) const noexcept {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    for (const ClassDescriptor& cls : m_descriptor.classes) {
        if (cls.classId == classId) {
            // Objects lead to per-thread state that the runtime cleans up at
            // thread exit from inside this module: it must stay mapped.
            PinThisModule();
            return Guarded([&] {
                auto* factory = new ClassFactory(cls);
                const HRESULT hr = factory->QueryInterface(iid, object);
                factory->Release();
                return hr;
            });
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT InprocServer::RegisterServer() const noexcept {
    const HRESULT hr = Guarded([&] {
        const std::wstring modulePath = ThisModulePath();
        RegisterTypeLibrary(modulePath);
        for (const ClassDescriptor& cls : m_descriptor.classes) {
            RegisterClass(m_descriptor, cls, modulePath);
        }
        return S_OK;
    });
    if (FAILED(hr)) {
        // Half a registration would leave ProgIDs pointing at nothing usable.
        UnregisterServer();
    }
    return hr;
}

HRESULT InprocServer::UnregisterServer() const noexcept {
    return Guarded([&] {
        // Everything is attempted; the first failure is the one reported.
        HRESULT result = S_OK;
        const auto note = [&result](HRESULT hr) {
            if (FAILED(hr) && SUCCEEDED(result)) {
                result = hr;
            }
        };
        for (const ClassDescriptor& cls : m_descriptor.classes) {
            const std::wstring progId = ProgId(m_descriptor, cls);
            const std::wstring classId = GuidText(cls.classId);
            if (_wcsicmp(ReadClassesDefault(progId + L"\\CLSID").c_str(), classId.c_str()) == 0) {
                note(HRESULT_FROM_WIN32(DeleteClassesTree(progId)));
            }
            note(HRESULT_FROM_WIN32(DeleteClassesTree(L"CLSID\\" + classId)));
        }
        // UnRegisterTypeLib fails when nothing is registered; asking first keeps
        // a second unregistration harmless.
        BSTR registeredPath = nullptr;
        if (SUCCEEDED(QueryPathOfRegTypeLib(
                m_descriptor.typeLibraryId, m_descriptor.typeLibraryMajor,
                m_descriptor.typeLibraryMinor, m_descriptor.typeLibraryLocale, &registeredPath))) {
            SysFreeString(registeredPath);
            note(UnRegisterTypeLib(m_descriptor.typeLibraryId, m_descriptor.typeLibraryMajor,
                                   m_descriptor.typeLibraryMinor, m_descriptor.typeLibraryLocale,
                                   SYS_WIN32));
        }
        return result;
    });
}

}  // namespace velorin::com
