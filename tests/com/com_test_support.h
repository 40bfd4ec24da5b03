#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <utility>

#include "commands/com/application_bridge.h"
#include "commands/com/com_prelude.h"
#include "commands/com/velorin.h"
#include "host/application.h"

// What the Windows test programs share: owning wrappers for COM pointers and
// strings, the DLL under test, hooks for OnCreate, and a watch that sees any
// window (a message box) the code under test tries to create.
namespace velorin::comtest {

// Holds one reference to a COM interface.
template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        Reset();
        m_pointer = std::exchange(other.m_pointer, nullptr);
        return *this;
    }
    ~ComPtr() { Reset(); }

    T* Get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }
    // For an out-parameter: releases what is held first.
    T** Receive() {
        Reset();
        return &m_pointer;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    void Reset() {
        if (m_pointer != nullptr) {
            std::exchange(m_pointer, nullptr)->Release();
        }
    }

  private:
    T* m_pointer = nullptr;
};

// Holds one BSTR.
class Bstr {
  public:
    Bstr() = default;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&&) = delete;
    Bstr& operator=(Bstr&&) = delete;
    ~Bstr() { SysFreeString(m_value); }

    BSTR* Receive() {
        SysFreeString(m_value);
        m_value = nullptr;
        return &m_value;
    }
    BSTR Get() const { return m_value; }
    std::wstring Text() const {
        return m_value ? std::wstring(m_value, SysStringLen(m_value)) : L"";
    }

  private:
    BSTR m_value = nullptr;
};

std::wstring GuidText(const GUID& guid);
GUID GuidFrom(const wchar_t* text);
std::wstring Widen(const std::string& ascii);
// The DLL under test: the first non-option argument of the program.
std::wstring DllPath();

// One single-threaded apartment for the scope, as the host's UI thread has.
class Apartment {
  public:
    Apartment();
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    Apartment(Apartment&&) = delete;
    Apartment& operator=(Apartment&&) = delete;
    ~Apartment();

  private:
    HRESULT m_result;
};

// Counts windows the current thread tries to create while it lives, and stops
// them from appearing: a message box shown by the code under test is seen and
// returns at once instead of waiting for a click.
class WindowWatch {
  public:
    WindowWatch();
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;
    WindowWatch(WindowWatch&&) = delete;
    WindowWatch& operator=(WindowWatch&&) = delete;
    ~WindowWatch();

    int Created() const;

  private:
    HHOOK m_hook;
};

// A portable application with nothing behind it: OnCreate only stores it.
class FakeApplication final : public velorin::host::IApplication {
  public:
    std::shared_ptr<velorin::host::IDocument> Document() const override { return {}; }
    std::shared_ptr<velorin::host::IStatusBar> StatusBar() const override { return {}; }
    std::shared_ptr<velorin::host::IObjectFactory> ObjectFactory() const override { return {}; }
};

// A hook object as a host hands it to OnCreate. With an application it also
// offers IVelorinApplicationBridge; without one it is a bare IDispatch, as a
// hook that is not an application would be.
class Hook final : public IDispatch, public IVelorinApplicationBridge {
  public:
    explicit Hook(std::shared_ptr<velorin::host::IApplication> application = nullptr);
    Hook(const Hook&) = delete;
    Hook& operator=(const Hook&) = delete;
    Hook(Hook&&) = delete;
    Hook& operator=(Hook&&) = delete;
    ~Hook() = default;

    // References held by anyone; the test's own object starts with one.
    ULONG References() const { return m_references; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    // The test owns the object on the stack: the count never deletes it.
    ULONG STDMETHODCALLTYPE Release() override { return --m_references; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE
    GetApplication(std::shared_ptr<velorin::host::IApplication>* application) override;

  private:
    std::atomic<ULONG> m_references{1};
    std::shared_ptr<velorin::host::IApplication> m_application;
};

// Reads the default value (name null) or a named string value of
// HKEY_CLASSES_ROOT\<path>; no value when the key or value is absent.
bool ReadClassesString(const std::wstring& path, const wchar_t* name, std::wstring& value);
bool ClassesKeyExists(const std::wstring& path);
// Same path, ignoring letter case and 8.3 short forms.
bool SameFile(const std::wstring& a, const std::wstring& b);

}  // namespace velorin::comtest
