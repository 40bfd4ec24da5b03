#pragma once

#include <atomic>

#include "commands/com/com_prelude.h"
#include "commands/com/server_descriptor.h"

namespace velorin::com {

// The class factory of one command class: each CreateInstance makes a new
// command object. A factory counts as a live object of the library, so the
// module is not reported unloadable while a client still holds one.
class ClassFactory final : public IClassFactory {
  public:
    // Starts with one reference, owned by the caller. `cls` must outlive the
    // factory (it is a constant of the library).
    explicit ClassFactory(const ClassDescriptor& cls) noexcept;
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory(ClassFactory&&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;
    ClassFactory& operator=(ClassFactory&&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE CreateInstance(::IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  private:
    // Only Release destroys a factory.
    ~ClassFactory();

    std::atomic<ULONG> m_references{1};
    const ClassDescriptor& m_class;
};

}  // namespace velorin::com
