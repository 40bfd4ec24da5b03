#include "commands/com/com_command.h"

#include <new>
#include <string>
#include <utility>

#include "commands/com/application_bridge.h"
#include "commands/com/bstr.h"
#include "commands/com/hresult_guard.h"
#include "commands/com/module_state.h"
#include "host/error.h"
#include "platform/win32/win32_toolkit.h"
#include "ui/current_toolkit.h"
#include "ui/runtime_error.h"

namespace velorin::com {
namespace {

VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// Writes `value` to *out unless out is null (E_POINTER).
template <class Out, class Read>
HRESULT ReturnValue(Out* out, Read&& read) noexcept {
    if (out == nullptr) {
        return E_POINTER;
    }
    return Guarded([&] {
        *out = std::forward<Read>(read)();
        return S_OK;
    });
}

// A string property: a fresh BSTR the caller frees. *out is null on failure,
// so a caller freeing it unconditionally frees nothing of ours.
template <class Read>
HRESULT ReturnText(BSTR* out, Read&& read) noexcept {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    return Guarded([&] {
        *out = NewBstr(std::forward<Read>(read)());
        return S_OK;
    });
}

}  // namespace

HRESULT ComCommand::Create(const ClassDescriptor& cls, REFIID iid, void** object) noexcept {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    return Guarded([&] {
        auto* created = new ComCommand(cls, cls.makeCommand());
        const HRESULT hr = created->QueryInterface(iid, object);
        // Drops the construction reference: an unknown interface leaves nothing alive.
        created->Release();
        return hr;
    });
}

ComCommand::ComCommand(const ClassDescriptor& cls,
                       std::unique_ptr<commands::Command> command) noexcept
    : m_class(cls), m_command(std::move(command)) {
    ObjectCreated();
}

ComCommand::~ComCommand() {
    m_command.reset();
    ObjectDestroyed();
}

HRESULT STDMETHODCALLTYPE ComCommand::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_ICommand) {
        *object = static_cast<ICommand*>(this);
    } else if (iid == IID_IDispatch || iid == m_class.defaultInterfaceId) {
        *object = static_cast<IDispatch*>(this);
    } else if (iid == IID_ISupportErrorInfo) {
        *object = static_cast<ISupportErrorInfo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE ComCommand::AddRef() { return ++m_references; }

ULONG STDMETHODCALLTYPE ComCommand::Release() {
    const ULONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

HRESULT STDMETHODCALLTYPE ComCommand::get_Enabled(VARIANT_BOOL* value) {
    return ReturnValue(value, [&] { return ToVariantBool(m_command->Enabled()); });
}

HRESULT STDMETHODCALLTYPE ComCommand::get_Checked(VARIANT_BOOL* value) {
    return ReturnValue(value, [&] { return ToVariantBool(m_command->Checked()); });
}

HRESULT STDMETHODCALLTYPE ComCommand::get_Name(BSTR* value) {
    return ReturnText(value, [&] { return m_command->Name(); });
}

HRESULT STDMETHODCALLTYPE ComCommand::get_Caption(BSTR* value) {
    return ReturnText(value, [&] { return m_command->Caption(); });
}

HRESULT STDMETHODCALLTYPE ComCommand::get_Tooltip(BSTR* value) {
    return ReturnText(value, [&] { return m_command->Tooltip(); });
}

HRESULT STDMETHODCALLTYPE ComCommand::get_Message(BSTR* value) {
    return ReturnText(value, [&] { return m_command->Message(); });
}

HRESULT STDMETHODCALLTYPE ComCommand::get_HelpFile(BSTR* value) {
    return ReturnText(value, [&] { return m_command->HelpFile(); });
}

HRESULT STDMETHODCALLTYPE ComCommand::get_HelpContextID(LONG* value) {
    return ReturnValue(value, [&] { return static_cast<LONG>(m_command->HelpContextID()); });
}

HRESULT STDMETHODCALLTYPE ComCommand::get_Bitmap(OLE_HANDLE* value) {
    return ReturnValue(value, [&] { return static_cast<OLE_HANDLE>(m_command->Bitmap()); });
}

HRESULT STDMETHODCALLTYPE ComCommand::get_Category(BSTR* value) {
    return ReturnText(value, [&] { return m_command->Category(); });
}

HRESULT STDMETHODCALLTYPE ComCommand::OnCreate(IDispatch* hook) {
    return Guarded([&] {
        std::shared_ptr<host::IApplication> application = ApplicationFromHook(hook);
        if (!application) {
            // Checked here rather than left to the portable object, so that a
            // hook without an application can never clear the stored one.
            ui::RaiseTypeMismatch();
        }
        m_command->OnCreate(application);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE ComCommand::OnClick() {
    return Guarded([&] {
        // The run's dialogs, boxes, pumping and Esc go through the Win32 toolkit
        // for as long as the click lasts. A click nested in another (the host
        // pumping messages under a run) brings its own and puts the outer one
        // back; nothing of the toolkit outlives the click.
        win32::Win32Toolkit toolkit;
        const ui::ToolkitScope scope(toolkit);
        m_command->OnClick();
        return S_OK;
    });
}

HRESULT ComCommand::DefaultInterfaceTypeInfo(bool vtableHalf, ITypeInfo** info) const noexcept {
    *info = nullptr;
    ITypeLib* library = nullptr;
    HRESULT hr = LoadOwnTypeLibrary(&library);
    if (FAILED(hr)) {
        return hr;
    }
    ITypeInfo* dispatchHalf = nullptr;
    hr = library->GetTypeInfoOfGuid(m_class.defaultInterfaceId, &dispatchHalf);
    library->Release();
    if (FAILED(hr) || !vtableHalf) {
        *info = dispatchHalf;
        return hr;
    }
    HREFTYPE vtableReference = 0;
    hr = dispatchHalf->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableReference);
    if (SUCCEEDED(hr)) {
        hr = dispatchHalf->GetRefTypeInfo(vtableReference, info);
    }
    dispatchHalf->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE ComCommand::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComCommand::GetTypeInfo(UINT index, LCID /*locale*/, ITypeInfo** info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = nullptr;
    if (index != 0) {
        return DISP_E_BADINDEX;
    }
    return DefaultInterfaceTypeInfo(false, info);
}

HRESULT STDMETHODCALLTYPE ComCommand::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count,
                                                    LCID /*locale*/, DISPID* ids) {
    if (iid != IID_NULL) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    ITypeInfo* info = nullptr;
    HRESULT hr = DefaultInterfaceTypeInfo(false, &info);
    if (SUCCEEDED(hr)) {
        hr = DispGetIDsOfNames(info, names, count, ids);
        info->Release();
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE ComCommand::Invoke(DISPID id, REFIID iid, LCID /*locale*/, WORD flags,
                                             DISPPARAMS* parameters, VARIANT* result,
                                             EXCEPINFO* exception, UINT* argumentError) {
    if (iid != IID_NULL) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    ITypeInfo* info = nullptr;
    HRESULT hr = DefaultInterfaceTypeInfo(true, &info);
    if (SUCCEEDED(hr)) {
        hr = info->Invoke(static_cast<IDispatch*>(this), id, flags, parameters, result, exception,
                          argumentError);
        info->Release();
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE ComCommand::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID_ICommand ? S_OK : S_FALSE;
}

}  // namespace velorin::com
