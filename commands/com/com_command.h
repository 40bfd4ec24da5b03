#pragma once

#include <atomic>
#include <memory>

#include "commands/com/com_prelude.h"
#include "commands/com/server_descriptor.h"
#include "commands/com/velorin.h"
#include "commands/command.h"

namespace velorin::com {

// The COM face of one portable command object: ICommand for the host, the
// class's memberless dual default interface, and ISupportErrorInfo so callers
// may trust the error descriptions it leaves. Every method runs through
// Guarded, so nothing thrown by the portable side crosses into the caller;
// string properties return real BSTRs that the caller frees, and a null
// out-pointer gives E_POINTER.
class ComCommand final : public ICommand, public IDispatch, public ISupportErrorInfo {
  public:
    // Makes a command object of class `cls` and answers its interface `iid` in
    // *object (owned by the caller). On failure *object is null.
    static HRESULT Create(const ClassDescriptor& cls, REFIID iid, void** object) noexcept;

    ComCommand(const ComCommand&) = delete;
    ComCommand(ComCommand&&) = delete;
    ComCommand& operator=(const ComCommand&) = delete;
    ComCommand& operator=(ComCommand&&) = delete;

    // IUnknown, shared by all three interfaces; identity is the ICommand face.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ICommand
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_Checked(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Tooltip(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Message(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_HelpContextID(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Bitmap(OLE_HANDLE* value) override;
    HRESULT STDMETHODCALLTYPE get_Category(BSTR* value) override;
    // Stores the application the hook provides (see application_bridge.h). A
    // hook without one gives DISP_E_TYPEMISMATCH, shows nothing and keeps the
    // application stored before.
    HRESULT STDMETHODCALLTYPE OnCreate(IDispatch* hook) override;
    // Runs the tool inside the portable command's trap, with the Win32 toolkit
    // installed on the calling thread for the click: the trap shows the run's
    // errors itself as one message box and the click answers S_OK; only what
    // escapes the trap becomes a failure HRESULT.
    HRESULT STDMETHODCALLTYPE OnClick() override;

    // IDispatch, described by the default interface in the embedded type library.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

  private:
    ComCommand(const ClassDescriptor& cls, std::unique_ptr<commands::Command> command) noexcept;
    // Only Release destroys a command object; the portable command's destructor
    // unloads its tool's shared dialog.
    ~ComCommand();

    // The default interface's type info: the dispatch half, or with
    // `vtableHalf` the interface half that ITypeInfo::Invoke needs.
    HRESULT DefaultInterfaceTypeInfo(bool vtableHalf, ITypeInfo** info) const noexcept;

    std::atomic<ULONG> m_references{1};
    const ClassDescriptor& m_class;
    std::unique_ptr<commands::Command> m_command;
};

}  // namespace velorin::com
