#include "commands/com/class_factory.h"

#include "commands/com/com_command.h"
#include "commands/com/module_state.h"

namespace velorin::com {

ClassFactory::ClassFactory(const ClassDescriptor& cls) noexcept : m_class(cls) { ObjectCreated(); }

ClassFactory::~ClassFactory() { ObjectDestroyed(); }

HRESULT STDMETHODCALLTYPE ClassFactory::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ClassFactory::AddRef() { return ++m_references; }

ULONG STDMETHODCALLTYPE ClassFactory::Release() {
    const ULONG remaining = --m_references;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

HRESULT STDMETHODCALLTYPE ClassFactory::CreateInstance(::IUnknown* outer, REFIID iid,
                                                       void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return ComCommand::Create(m_class, iid, object);
}

HRESULT STDMETHODCALLTYPE ClassFactory::LockServer(BOOL lock) {
    if (lock) {
        ServerLocked();
    } else {
        ServerUnlocked();
    }
    return S_OK;
}

}  // namespace velorin::com
