#include "tests/com/com_test_support.h"

#include <array>
#include <vector>

#include "tests/com/check.h"

namespace velorin::comtest {
namespace {

int g_windowsCreated = 0;

LRESULT CALLBACK CountAndBlockCreation(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_CREATEWND) {
        ++g_windowsCreated;
        return 1;  // refuses the window
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

std::wstring FullLongPath(const std::wstring& path) {
    std::vector<wchar_t> full(32768);
    if (GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr) ==
        0) {
        return path;
    }
    std::vector<wchar_t> longer(32768);
    if (GetLongPathNameW(full.data(), longer.data(), static_cast<DWORD>(longer.size())) == 0) {
        return full.data();
    }
    return longer.data();
}

}  // namespace

std::wstring GuidText(const GUID& guid) {
    std::array<wchar_t, 39> text{};
    StringFromGUID2(guid, text.data(), static_cast<int>(text.size()));
    return text.data();
}

GUID GuidFrom(const wchar_t* text) {
    GUID guid{};
    CLSIDFromString(text, &guid);
    return guid;
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring DllPath() {
    const auto& arguments = velorin::check::Arguments();
    return arguments.empty() ? std::wstring() : Widen(arguments.front());
}

Apartment::Apartment() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}

Apartment::~Apartment() {
    if (SUCCEEDED(m_result)) {
        CoUninitialize();
    }
}

WindowWatch::WindowWatch()
    : m_hook(SetWindowsHookExW(WH_CBT, &CountAndBlockCreation, nullptr, GetCurrentThreadId())) {
    g_windowsCreated = 0;
}

WindowWatch::~WindowWatch() {
    if (m_hook != nullptr) {
        UnhookWindowsHookEx(m_hook);
    }
}

int WindowWatch::Created() const { return m_hook == nullptr ? -1 : g_windowsCreated; }

Hook::Hook(std::shared_ptr<velorin::host::IApplication> application)
    : m_application(std::move(application)) {}

HRESULT STDMETHODCALLTYPE Hook::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
    } else if (iid == velorin::com::kIidApplicationBridge && m_application) {
        *object = static_cast<IVelorinApplicationBridge*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE
Hook::GetApplication(std::shared_ptr<velorin::host::IApplication>* application) {
    if (application == nullptr) {
        return E_POINTER;
    }
    *application = m_application;
    return S_OK;
}

bool ReadClassesString(const std::wstring& path, const wchar_t* name, std::wstring& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    std::vector<wchar_t> buffer(32768);
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    DWORD type = 0;
    const LSTATUS status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        return false;
    }
    value.assign(buffer.data(), wcsnlen(buffer.data(), bytes / sizeof(wchar_t)));
    return true;
}

bool ClassesKeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(FullLongPath(a).c_str(), FullLongPath(b).c_str()) == 0;
}

}  // namespace velorin::comtest
