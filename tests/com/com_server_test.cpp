// Velorin.dll loaded directly, as the COM runtime does once a class is found:
// its exports, class factories, unloading, command objects, type library and
// version resource; plus the COM boundary's own helpers, linked in statically.
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands/com/bstr.h"
#include "commands/com/hresult_guard.h"
#include "host/error.h"
#include "platform/win32/resource_ids.h"
#include "tests/com/check.h"
#include "tests/com/com_test_support.h"

namespace {

using velorin::comtest::Bstr;
using velorin::comtest::ComPtr;
using velorin::comtest::GuidFrom;
using velorin::comtest::GuidText;

constexpr const wchar_t* kLibraryId = L"{EA153FCF-EE31-4678-9A5A-6DA13C7BDC7E}";
constexpr const wchar_t* kCommandInterfaceId = L"{36B06538-4437-11D1-B970-080009EE4E51}";
constexpr const wchar_t* kStdoleLibraryId = L"{00020430-0000-0000-C000-000000000046}";

// The two command classes as a host sees them.
struct ExpectedClass {
    const wchar_t* className;
    const wchar_t* classId;
    const wchar_t* defaultInterface;
    const wchar_t* defaultInterfaceId;
    const wchar_t* name;
    const wchar_t* caption;
    const wchar_t* tooltip;
};

const ExpectedClass kClasses[] = {
    {L"clsZoomFlash", L"{4C741D44-A258-44E0-86A5-B8C846DC420F}", L"_clsZoomFlash",
     L"{96542C55-774F-426B-A949-8CEAB788C831}", L"Velorin_ZoomFlash", L"Zoom and Flash",
     L"Zoom to features and flash their geometries, then flash related features"},
    {L"clsCopyLegend", L"{F2DBBC08-0F07-4721-A48C-E704CA994A3C}", L"_clsCopyLegend",
     L"{BA343DF8-5100-42AE-A858-8A56A6B51578}", L"Velorin_CopyLegend", L"Copy Legend",
     L"Copy Legend Colors from Source Features to Related Features"},
};

// The library's entry points, called through stdcall pointers as COM does.
struct Exports {
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    HMODULE module = nullptr;
    CanUnloadNow canUnloadNow = nullptr;
    GetClassObject getClassObject = nullptr;
};

// Loaded once and kept: every case must leave no object behind, which the
// unloading cases then see.
const Exports& Library() {
    static const Exports exports = [] {
        Exports loaded;
        loaded.module = LoadLibraryW(velorin::comtest::DllPath().c_str());
        if (loaded.module != nullptr) {
            loaded.canUnloadNow = reinterpret_cast<Exports::CanUnloadNow>(
                reinterpret_cast<void*>(GetProcAddress(loaded.module, "DllCanUnloadNow")));
            loaded.getClassObject = reinterpret_cast<Exports::GetClassObject>(
                reinterpret_cast<void*>(GetProcAddress(loaded.module, "DllGetClassObject")));
        }
        return loaded;
    }();
    return exports;
}

void RequireLibrary() {
    REQUIRE(Library().module != nullptr);
    REQUIRE(Library().canUnloadNow != nullptr);
    REQUIRE(Library().getClassObject != nullptr);
}

ComPtr<IClassFactory> Factory(const wchar_t* classId) {
    ComPtr<IClassFactory> factory;
    CHECK_HR(Library().getClassObject(GuidFrom(classId), IID_IClassFactory, factory.ReceiveVoid()),
             S_OK);
    return factory;
}

ComPtr<ICommand> NewCommand(const wchar_t* classId) {
    ComPtr<ICommand> command;
    ComPtr<IClassFactory> factory = Factory(classId);
    if (factory) {
        CHECK_HR(factory->CreateInstance(nullptr, IID_ICommand, command.ReceiveVoid()), S_OK);
    }
    return command;
}

std::wstring ErrorInfoDescription() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Receive()) != S_OK || !info) {
        return L"(no error info)";
    }
    Bstr description;
    info->GetDescription(description.Receive());
    return description.Text();
}

ComPtr<ITypeLib> OwnTypeLibrary() {
    ComPtr<ITypeLib> library;
    CHECK_HR(LoadTypeLibEx(velorin::comtest::DllPath().c_str(), REGKIND_NONE, library.Receive()),
             S_OK);
    return library;
}

ComPtr<ITypeInfo> TypeInfoOf(ITypeLib* library, const wchar_t* guid) {
    ComPtr<ITypeInfo> info;
    CHECK_HR(library->GetTypeInfoOfGuid(GuidFrom(guid), info.Receive()), S_OK);
    return info;
}

std::wstring NameOf(ITypeInfo* info, MEMBERID member = MEMBERID_NIL) {
    Bstr name;
    info->GetDocumentation(member, name.Receive(), nullptr, nullptr, nullptr);
    return name.Text();
}

// The type attributes of `info`, copied out so no release is forgotten.
TYPEATTR AttributesOf(ITypeInfo* info) {
    TYPEATTR* attributes = nullptr;
    TYPEATTR copy{};
    if (SUCCEEDED(info->GetTypeAttr(&attributes))) {
        copy = *attributes;
        info->ReleaseTypeAttr(attributes);
    }
    return copy;
}

// The library a referenced type comes from, by GUID.
std::wstring ContainingLibraryOf(ITypeInfo* info) {
    ComPtr<ITypeLib> library;
    UINT index = 0;
    if (FAILED(info->GetContainingTypeLib(library.Receive(), &index))) {
        return L"(none)";
    }
    TLIBATTR* attributes = nullptr;
    library->GetLibAttr(&attributes);
    const std::wstring id = GuidText(attributes->guid);
    library->ReleaseTLibAttr(attributes);
    return id;
}

// ---------------------------------------------------------------------------

VELORIN_CASE(Exports, OrdinalsOneToFourAreTheFourEntryPoints) {
    RequireLibrary();
    const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                           "DllUnregisterServer"};
    for (WORD ordinal = 1; ordinal <= 4; ++ordinal) {
        const FARPROC byName = GetProcAddress(Library().module, names[ordinal - 1]);
        const FARPROC byOrdinal = GetProcAddress(Library().module, MAKEINTRESOURCEA(ordinal));
        CHECK(byName != nullptr);
        CHECK(byName == byOrdinal);
    }
    CHECK(GetProcAddress(Library().module, MAKEINTRESOURCEA(5)) == nullptr);
}

VELORIN_CASE(Factory, RefusesAnyOtherClass) {
    RequireLibrary();
    // Near misses included: the library's own id and a default interface's id.
    const wchar_t* others[] = {kLibraryId, kClasses[0].defaultInterfaceId, kCommandInterfaceId,
                               L"{00000000-0000-0000-0000-000000000000}"};
    for (const wchar_t* other : others) {
        void* object = reinterpret_cast<void*>(0x1);
        CHECK_HR(Library().getClassObject(GuidFrom(other), IID_IClassFactory, &object),
                 CLASS_E_CLASSNOTAVAILABLE);
        CHECK(object == nullptr);
    }
    CHECK_HR(Library().getClassObject(GuidFrom(kClasses[0].classId), IID_IClassFactory, nullptr),
             E_POINTER);
    // A known class asked for something a factory is not.
    void* object = reinterpret_cast<void*>(0x1);
    CHECK_HR(Library().getClassObject(GuidFrom(kClasses[0].classId), IID_ICommand, &object),
             E_NOINTERFACE);
    CHECK(object == nullptr);
    CHECK_HR(Library().canUnloadNow(), S_OK);
}

VELORIN_CASE(Factory, EachClassHasAFactoryThatMakesANewObjectPerRequest) {
    RequireLibrary();
    for (const ExpectedClass& cls : kClasses) {
        ComPtr<IClassFactory> factory = Factory(cls.classId);
        REQUIRE(factory);
        ComPtr<ICommand> first;
        ComPtr<ICommand> second;
        CHECK_HR(factory->CreateInstance(nullptr, IID_ICommand, first.ReceiveVoid()), S_OK);
        CHECK_HR(factory->CreateInstance(nullptr, IID_ICommand, second.ReceiveVoid()), S_OK);
        REQUIRE(first && second);
        CHECK(first.Get() != second.Get());
        Bstr name;
        CHECK_HR(first->get_Name(name.Receive()), S_OK);
        CHECK_EQ(name.Text(), std::wstring(cls.name));
    }
}

VELORIN_CASE(Factory, RefusesAggregationAndUnknownInterfacesLeavingNothingAlive) {
    RequireLibrary();
    ComPtr<IClassFactory> factory = Factory(kClasses[1].classId);
    REQUIRE(factory);
    velorin::comtest::Hook outer;
    void* object = reinterpret_cast<void*>(0x1);
    CHECK_HR(factory->CreateInstance(static_cast<IDispatch*>(&outer), IID_IUnknown, &object),
             CLASS_E_NOAGGREGATION);
    CHECK(object == nullptr);
    object = reinterpret_cast<void*>(0x1);
    CHECK_HR(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
    CHECK(object == nullptr);
    CHECK_HR(factory->CreateInstance(nullptr, IID_ICommand, nullptr), E_POINTER);
    ComPtr<ICommand> notAFactoryInterface;
    CHECK_HR(factory->QueryInterface(IID_ICommand, notAFactoryInterface.ReceiveVoid()),
             E_NOINTERFACE);
    factory.Reset();
    CHECK_HR(Library().canUnloadNow(), S_OK);
}

VELORIN_CASE(Unloading, FollowsObjectsFactoriesAndLocks) {
    RequireLibrary();
    CHECK_HR(Library().canUnloadNow(), S_OK);
    {
        ComPtr<IClassFactory> factory = Factory(kClasses[0].classId);
        REQUIRE(factory);
        CHECK_HR(Library().canUnloadNow(), S_FALSE);
        ComPtr<ICommand> command;
        CHECK_HR(factory->CreateInstance(nullptr, IID_ICommand, command.ReceiveVoid()), S_OK);
        factory.Reset();
        CHECK_HR(Library().canUnloadNow(), S_FALSE);  // the object alone keeps it
        command.Reset();
        CHECK_HR(Library().canUnloadNow(), S_OK);
    }
    {
        ComPtr<IClassFactory> factory = Factory(kClasses[1].classId);
        REQUIRE(factory);
        CHECK_HR(factory->LockServer(TRUE), S_OK);
        factory.Reset();
        CHECK_HR(Library().canUnloadNow(), S_FALSE);  // the lock alone keeps it
        factory = Factory(kClasses[1].classId);
        REQUIRE(factory);
        CHECK_HR(factory->LockServer(FALSE), S_OK);
        factory.Reset();
        CHECK_HR(Library().canUnloadNow(), S_OK);
    }
}

VELORIN_CASE(Unloading, AnUnbalancedUnlockDoesNotHideALaterLock) {
    RequireLibrary();
    ComPtr<IClassFactory> factory = Factory(kClasses[0].classId);
    REQUIRE(factory);
    CHECK_HR(factory->LockServer(FALSE), S_OK);
    CHECK_HR(factory->LockServer(FALSE), S_OK);
    CHECK_HR(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    CHECK_HR(Library().canUnloadNow(), S_FALSE);
    factory = Factory(kClasses[0].classId);
    REQUIRE(factory);
    CHECK_HR(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    CHECK_HR(Library().canUnloadNow(), S_OK);
}

VELORIN_CASE(Interfaces, CommandObjectsAnswerTheirInterfacesWithOneIdentity) {
    RequireLibrary();
    for (const ExpectedClass& cls : kClasses) {
        ComPtr<ICommand> command = NewCommand(cls.classId);
        REQUIRE(command);
        ComPtr<IUnknown> identity;
        ComPtr<IDispatch> dispatch;
        ComPtr<IDispatch> defaultInterface;
        ComPtr<ISupportErrorInfo> errorInfo;
        CHECK_HR(command->QueryInterface(IID_IUnknown, identity.ReceiveVoid()), S_OK);
        CHECK_HR(command->QueryInterface(IID_IDispatch, dispatch.ReceiveVoid()), S_OK);
        CHECK_HR(command->QueryInterface(GuidFrom(cls.defaultInterfaceId),
                                         defaultInterface.ReceiveVoid()),
                 S_OK);
        CHECK_HR(command->QueryInterface(IID_ISupportErrorInfo, errorInfo.ReceiveVoid()), S_OK);
        REQUIRE(identity && dispatch && defaultInterface && errorInfo);
        ComPtr<IUnknown> identityFromDispatch;
        CHECK_HR(dispatch->QueryInterface(IID_IUnknown, identityFromDispatch.ReceiveVoid()), S_OK);
        CHECK(identityFromDispatch.Get() == identity.Get());
        ComPtr<ICommand> backToCommand;
        CHECK_HR(errorInfo->QueryInterface(IID_ICommand, backToCommand.ReceiveVoid()), S_OK);
        CHECK(backToCommand.Get() == command.Get());
        CHECK_HR(errorInfo->InterfaceSupportsErrorInfo(IID_ICommand), S_OK);

        const ExpectedClass& other = &cls == &kClasses[0] ? kClasses[1] : kClasses[0];
        void* object = reinterpret_cast<void*>(0x1);
        CHECK_HR(command->QueryInterface(GuidFrom(other.defaultInterfaceId), &object),
                 E_NOINTERFACE);
        CHECK(object == nullptr);
        CHECK_HR(command->QueryInterface(IID_IClassFactory, &object), E_NOINTERFACE);
        CHECK_HR(command->QueryInterface(IID_ICommand, nullptr), E_POINTER);
    }
}

VELORIN_CASE(Properties, FixedValuesThroughTheVtable) {
    RequireLibrary();
    for (const ExpectedClass& cls : kClasses) {
        ComPtr<ICommand> command = NewCommand(cls.classId);
        REQUIRE(command);
        VARIANT_BOOL flag = 0x55;
        CHECK_HR(command->get_Enabled(&flag), S_OK);
        CHECK_EQ(flag, VARIANT_TRUE);
        flag = 0x55;
        CHECK_HR(command->get_Checked(&flag), S_OK);
        CHECK_EQ(flag, VARIANT_FALSE);

        const struct {
            HRESULT (STDMETHODCALLTYPE ICommand::*read)(BSTR*);
            const wchar_t* expected;
        } texts[] = {
            {&ICommand::get_Name, cls.name},       {&ICommand::get_Caption, cls.caption},
            {&ICommand::get_Tooltip, cls.tooltip}, {&ICommand::get_Message, cls.tooltip},
            {&ICommand::get_HelpFile, L""},        {&ICommand::get_Category, L"Velorin"},
        };
        for (const auto& text : texts) {
            Bstr value;
            CHECK_HR((command.Get()->*text.read)(value.Receive()), S_OK);
            // A real BSTR even when empty: a caller may free or measure it.
            CHECK(value.Get() != nullptr);
            CHECK_EQ(value.Text(), std::wstring(text.expected));
            CHECK_EQ(SysStringLen(value.Get()), static_cast<UINT>(wcslen(text.expected)));
        }
        LONG helpContext = 7;
        CHECK_HR(command->get_HelpContextID(&helpContext), S_OK);
        CHECK_EQ(helpContext, 0);
        OLE_HANDLE bitmap = 7;
        CHECK_HR(command->get_Bitmap(&bitmap), S_OK);
        CHECK_EQ(bitmap, 0U);
    }
}

VELORIN_CASE(Properties, NullOutPointerGivesEPointer) {
    RequireLibrary();
    for (const ExpectedClass& cls : kClasses) {
        ComPtr<ICommand> command = NewCommand(cls.classId);
        REQUIRE(command);
        CHECK_HR(command->get_Enabled(nullptr), E_POINTER);
        CHECK_HR(command->get_Checked(nullptr), E_POINTER);
        CHECK_HR(command->get_Name(nullptr), E_POINTER);
        CHECK_HR(command->get_Caption(nullptr), E_POINTER);
        CHECK_HR(command->get_Tooltip(nullptr), E_POINTER);
        CHECK_HR(command->get_Message(nullptr), E_POINTER);
        CHECK_HR(command->get_HelpFile(nullptr), E_POINTER);
        CHECK_HR(command->get_HelpContextID(nullptr), E_POINTER);
        CHECK_HR(command->get_Bitmap(nullptr), E_POINTER);
        CHECK_HR(command->get_Category(nullptr), E_POINTER);
    }
}

VELORIN_CASE(OnCreate, TheWindowWatchSeesAMessageBox) {
    // Without this, "no box" below could pass with a watch that sees nothing.
    velorin::comtest::WindowWatch watch;
    MessageBoxW(nullptr, L"probe", L"Velorin", MB_OK);
    CHECK(watch.Created() > 0);
}

VELORIN_CASE(OnCreate, AHookWithoutAnApplicationIsATypeMismatchWithoutABox) {
    RequireLibrary();
    for (const ExpectedClass& cls : kClasses) {
        ComPtr<ICommand> command = NewCommand(cls.classId);
        REQUIRE(command);
        velorin::comtest::Hook bare;
        velorin::comtest::WindowWatch watch;
        CHECK_HR(command->OnCreate(&bare), DISP_E_TYPEMISMATCH);
        CHECK_EQ(ErrorInfoDescription(), std::wstring(L"Type mismatch"));
        CHECK_HR(command->OnCreate(nullptr), DISP_E_TYPEMISMATCH);
        CHECK_EQ(watch.Created(), 0);
        // Asked and let go: the command keeps no reference to the hook.
        CHECK_EQ(bare.References(), 1UL);
    }
}

VELORIN_CASE(OnCreate, KeepsTheApplicationAndAMismatchLeavesItInPlace) {
    RequireLibrary();
    auto first = std::make_shared<velorin::comtest::FakeApplication>();
    auto second = std::make_shared<velorin::comtest::FakeApplication>();
    velorin::comtest::Hook firstHook(first);
    velorin::comtest::Hook secondHook(second);
    velorin::comtest::Hook bare;
    const long baseline = first.use_count();  // ours and the hook's
    {
        ComPtr<ICommand> command = NewCommand(kClasses[0].classId);
        REQUIRE(command);
        CHECK_HR(command->OnCreate(&firstHook), S_OK);
        CHECK_EQ(first.use_count(), baseline + 1);
        CHECK_HR(command->OnCreate(&bare), DISP_E_TYPEMISMATCH);
        CHECK_EQ(first.use_count(), baseline + 1);
        // A later application replaces the earlier one.
        CHECK_HR(command->OnCreate(&secondHook), S_OK);
        CHECK_EQ(first.use_count(), baseline);
        CHECK_EQ(second.use_count(), baseline + 1);
        CHECK_EQ(firstHook.References(), 1UL);
        CHECK_EQ(secondHook.References(), 1UL);
    }
    // Releasing the command object releases its application.
    CHECK_EQ(second.use_count(), baseline);
    CHECK_HR(Library().canUnloadNow(), S_OK);
}

VELORIN_CASE(OnClick, TheRunsErrorIsOneBoxAndTheCommandStaysUsable) {
    // The application has no document, so each run fails at once. The trap
    // shows that as one message box through the Win32 toolkit (refused here by
    // the watch, so it returns at once) and the click itself succeeds: nothing
    // tears through the caller, and the object goes on working.
    RequireLibrary();
    auto application = std::make_shared<velorin::comtest::FakeApplication>();
    velorin::comtest::Hook hook(application);
    for (const ExpectedClass& cls : kClasses) {
        ComPtr<ICommand> command = NewCommand(cls.classId);
        REQUIRE(command);
        CHECK_HR(command->OnCreate(&hook), S_OK);
        velorin::comtest::WindowWatch watch;
        for (int click = 0; click < 2; ++click) {
            CHECK_HR(command->OnClick(), S_OK);
        }
        // One window a click: the box (the run fails before its dialog is made).
        CHECK_EQ(watch.Created(), 2);
        Bstr name;
        CHECK_HR(command->get_Name(name.Receive()), S_OK);
        CHECK_EQ(name.Text(), std::wstring(cls.name));
    }
    CHECK_HR(Library().canUnloadNow(), S_OK);
}

VELORIN_CASE(Dispatch, DescribesTheMemberlessDefaultInterface) {
    RequireLibrary();
    for (const ExpectedClass& cls : kClasses) {
        ComPtr<ICommand> command = NewCommand(cls.classId);
        REQUIRE(command);
        ComPtr<IDispatch> dispatch;
        CHECK_HR(command->QueryInterface(GuidFrom(cls.defaultInterfaceId), dispatch.ReceiveVoid()),
                 S_OK);
        REQUIRE(dispatch);
        UINT count = 0;
        CHECK_HR(dispatch->GetTypeInfoCount(&count), S_OK);
        CHECK_EQ(count, 1U);
        ComPtr<ITypeInfo> info;
        CHECK_HR(dispatch->GetTypeInfo(0, 0, info.Receive()), S_OK);
        REQUIRE(info);
        CHECK_EQ(GuidText(AttributesOf(info.Get()).guid), std::wstring(cls.defaultInterfaceId));
        ComPtr<ITypeInfo> none;
        CHECK_HR(dispatch->GetTypeInfo(1, 0, none.Receive()), DISP_E_BADINDEX);

        // ICommand's members are not reachable late-bound: the host binds early.
        wchar_t name[] = L"Name";
        LPOLESTR names[] = {name};
        DISPID id = 0;
        CHECK_HR(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
        CHECK_HR(dispatch->GetIDsOfNames(IID_IDispatch, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
        DISPPARAMS noArguments{};
        VARIANT result;
        VariantInit(&result);
        CHECK_HR(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &noArguments, &result,
                                  nullptr, nullptr),
                 DISP_E_MEMBERNOTFOUND);
    }
}

VELORIN_CASE(TypeLibrary, LibraryAttributesAndNoRegistrationOnLoad) {
    ComPtr<ITypeLib> library = OwnTypeLibrary();
    REQUIRE(library);
    TLIBATTR* attributes = nullptr;
    REQUIRE(SUCCEEDED(library->GetLibAttr(&attributes)));
    CHECK_EQ(GuidText(attributes->guid), std::wstring(kLibraryId));
    CHECK_EQ(attributes->wMajorVerNum, 18);
    CHECK_EQ(attributes->wMinorVerNum, 0);
    CHECK_EQ(attributes->lcid, 0UL);
    CHECK_EQ(attributes->syskind, SYS_WIN32);
    library->ReleaseTLibAttr(attributes);
    Bstr name;
    CHECK_HR(library->GetDocumentation(-1, name.Receive(), nullptr, nullptr, nullptr), S_OK);
    CHECK_EQ(name.Text(), std::wstring(L"Velorin"));
    // This program runs before regsvr32 in a fresh prefix: reading the library
    // out of the DLL must not have registered it.
    Bstr path;
    CHECK(FAILED(QueryPathOfRegTypeLib(GuidFrom(kLibraryId), 18, 0, 0, path.Receive())));
}

VELORIN_CASE(TypeLibrary, HoldsExactlyTheFiveTypes) {
    ComPtr<ITypeLib> library = OwnTypeLibrary();
    REQUIRE(library);
    REQUIRE_EQ(library->GetTypeInfoCount(), 5U);
    const struct {
        const wchar_t* name;
        const wchar_t* guid;
        TYPEKIND kind;
    } expected[] = {
        {L"ICommand", kCommandInterfaceId, TKIND_INTERFACE},
        {kClasses[0].defaultInterface, kClasses[0].defaultInterfaceId, TKIND_DISPATCH},
        {kClasses[1].defaultInterface, kClasses[1].defaultInterfaceId, TKIND_DISPATCH},
        {kClasses[0].className, kClasses[0].classId, TKIND_COCLASS},
        {kClasses[1].className, kClasses[1].classId, TKIND_COCLASS},
    };
    for (const auto& type : expected) {
        ComPtr<ITypeInfo> info = TypeInfoOf(library.Get(), type.guid);
        REQUIRE(info);
        CHECK_EQ(NameOf(info.Get()), std::wstring(type.name));
        CHECK_EQ(AttributesOf(info.Get()).typekind, type.kind);
    }
}

VELORIN_CASE(TypeLibrary, ClassesAreCreatableWithTheirDefaultInterfaceAndICommand) {
    ComPtr<ITypeLib> library = OwnTypeLibrary();
    REQUIRE(library);
    for (const ExpectedClass& cls : kClasses) {
        ComPtr<ITypeInfo> coclass = TypeInfoOf(library.Get(), cls.classId);
        REQUIRE(coclass);
        const TYPEATTR attributes = AttributesOf(coclass.Get());
        CHECK((attributes.wTypeFlags & TYPEFLAG_FCANCREATE) != 0);
        REQUIRE_EQ(attributes.cImplTypes, 2);
        const struct {
            const wchar_t* guid;
            INT flags;
        } implemented[] = {{cls.defaultInterfaceId, IMPLTYPEFLAG_FDEFAULT},
                           {kCommandInterfaceId, 0}};
        for (UINT i = 0; i < 2; ++i) {
            HREFTYPE reference = 0;
            ComPtr<ITypeInfo> interfaceInfo;
            CHECK_HR(coclass->GetRefTypeOfImplType(i, &reference), S_OK);
            CHECK_HR(coclass->GetRefTypeInfo(reference, interfaceInfo.Receive()), S_OK);
            REQUIRE(interfaceInfo);
            CHECK_EQ(GuidText(AttributesOf(interfaceInfo.Get()).guid),
                     std::wstring(implemented[i].guid));
            INT flags = -1;
            CHECK_HR(coclass->GetImplTypeFlags(i, &flags), S_OK);
            CHECK_EQ(flags, implemented[i].flags);
        }
    }
}

VELORIN_CASE(TypeLibrary, DefaultInterfacesAreHiddenNonextensibleAutomationDuals) {
    ComPtr<ITypeLib> library = OwnTypeLibrary();
    REQUIRE(library);
    constexpr WORD kBoth = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE;
    for (const ExpectedClass& cls : kClasses) {
        ComPtr<ITypeInfo> dispatchHalf = TypeInfoOf(library.Get(), cls.defaultInterfaceId);
        REQUIRE(dispatchHalf);
        const TYPEATTR dispatchAttributes = AttributesOf(dispatchHalf.Get());
        CHECK_EQ(dispatchAttributes.wTypeFlags & (kBoth | TYPEFLAG_FDISPATCHABLE),
                 kBoth | TYPEFLAG_FDISPATCHABLE);

        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> vtableHalf;
        CHECK_HR(dispatchHalf->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
        CHECK_HR(dispatchHalf->GetRefTypeInfo(reference, vtableHalf.Receive()), S_OK);
        REQUIRE(vtableHalf);
        const TYPEATTR vtableAttributes = AttributesOf(vtableHalf.Get());
        CHECK_EQ(vtableAttributes.typekind, TKIND_INTERFACE);
        CHECK_EQ(vtableAttributes.wTypeFlags & (kBoth | TYPEFLAG_FOLEAUTOMATION),
                 kBoth | TYPEFLAG_FOLEAUTOMATION);
        CHECK_EQ(vtableAttributes.cFuncs, 0);  // no members of their own
        CHECK_EQ(vtableAttributes.cbSizeVft, 7 * 4);

        // Derived from the real IDispatch of stdole2, not from a copy.
        ComPtr<ITypeInfo> base;
        CHECK_HR(vtableHalf->GetRefTypeOfImplType(0, &reference), S_OK);
        CHECK_HR(vtableHalf->GetRefTypeInfo(reference, base.Receive()), S_OK);
        REQUIRE(base);
        CHECK_EQ(NameOf(base.Get()), std::wstring(L"IDispatch"));
        CHECK_EQ(ContainingLibraryOf(base.Get()), std::wstring(kStdoleLibraryId));
    }
}

VELORIN_CASE(TypeLibrary, ICommandHasTheHostsTwelveSlotsAndStaysOutOfAutomation) {
    ComPtr<ITypeLib> library = OwnTypeLibrary();
    REQUIRE(library);
    ComPtr<ITypeInfo> command = TypeInfoOf(library.Get(), kCommandInterfaceId);
    REQUIRE(command);
    const TYPEATTR attributes = AttributesOf(command.Get());
    CHECK_EQ(attributes.typekind, TKIND_INTERFACE);
    // Not automation-compatible, so registering the library never writes (or
    // removes) the host's Interface key for ICommand.
    CHECK_EQ(attributes.wTypeFlags & (TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDUAL), 0);
    REQUIRE_EQ(attributes.cFuncs, 12);

    HREFTYPE reference = 0;
    ComPtr<ITypeInfo> base;
    CHECK_HR(command->GetRefTypeOfImplType(0, &reference), S_OK);
    CHECK_HR(command->GetRefTypeInfo(reference, base.Receive()), S_OK);
    REQUIRE(base);
    CHECK_EQ(NameOf(base.Get()), std::wstring(L"IUnknown"));

    // The parameter each slot takes: an out-pointer to the property's type, or
    // the hook as an IDispatch.
    const struct {
        const wchar_t* name;
        INVOKEKIND kind;
        VARTYPE parameter;           // VT_EMPTY: no parameter
        VARTYPE pointee;             // for VT_PTR
        const wchar_t* userDefined;  // for a VT_USERDEFINED pointee
    } slots[] = {
        {L"Enabled", INVOKE_PROPERTYGET, VT_PTR, VT_BOOL, nullptr},
        {L"Checked", INVOKE_PROPERTYGET, VT_PTR, VT_BOOL, nullptr},
        {L"Name", INVOKE_PROPERTYGET, VT_PTR, VT_BSTR, nullptr},
        {L"Caption", INVOKE_PROPERTYGET, VT_PTR, VT_BSTR, nullptr},
        {L"Tooltip", INVOKE_PROPERTYGET, VT_PTR, VT_BSTR, nullptr},
        {L"Message", INVOKE_PROPERTYGET, VT_PTR, VT_BSTR, nullptr},
        {L"HelpFile", INVOKE_PROPERTYGET, VT_PTR, VT_BSTR, nullptr},
        {L"HelpContextID", INVOKE_PROPERTYGET, VT_PTR, VT_I4, nullptr},
        {L"Bitmap", INVOKE_PROPERTYGET, VT_PTR, VT_USERDEFINED, L"OLE_HANDLE"},
        {L"Category", INVOKE_PROPERTYGET, VT_PTR, VT_BSTR, nullptr},
        {L"OnCreate", INVOKE_FUNC, VT_DISPATCH, VT_EMPTY, nullptr},
        {L"OnClick", INVOKE_FUNC, VT_EMPTY, VT_EMPTY, nullptr},
    };
    for (UINT i = 0; i < 12; ++i) {
        FUNCDESC* function = nullptr;
        REQUIRE(SUCCEEDED(command->GetFuncDesc(i, &function)));
        const FUNCDESC f = *function;
        CHECK_EQ(NameOf(command.Get(), f.memid), std::wstring(slots[i].name));
        // After IUnknown's three slots, four bytes each on 32-bit Windows.
        CHECK_EQ(f.oVft, static_cast<SHORT>((3 + i) * 4));
        CHECK_EQ(f.invkind, slots[i].kind);
        CHECK_EQ(f.elemdescFunc.tdesc.vt, VT_HRESULT);
        if (slots[i].parameter == VT_EMPTY) {
            CHECK_EQ(f.cParams, 0);
        } else if (CHECK_EQ(f.cParams, 1)) {
            const TYPEDESC& parameter = f.lprgelemdescParam[0].tdesc;
            if (CHECK_EQ(parameter.vt, slots[i].parameter) && parameter.vt == VT_PTR) {
                const TYPEDESC& pointee = *parameter.lptdesc;
                CHECK_EQ(pointee.vt, slots[i].pointee);
                if (pointee.vt == VT_USERDEFINED) {
                    // OLE_HANDLE is stdole2's own, not a copy of it.
                    ComPtr<ITypeInfo> named;
                    CHECK_HR(command->GetRefTypeInfo(pointee.hreftype, named.Receive()), S_OK);
                    if (named) {
                        CHECK_EQ(NameOf(named.Get()), std::wstring(slots[i].userDefined));
                        CHECK_EQ(ContainingLibraryOf(named.Get()), std::wstring(kStdoleLibraryId));
                    }
                }
            }
            const USHORT direction = f.lprgelemdescParam[0].paramdesc.wParamFlags;
            const USHORT expectedDirection = slots[i].kind == INVOKE_PROPERTYGET
                                                 ? PARAMFLAG_FOUT | PARAMFLAG_FRETVAL
                                                 : PARAMFLAG_FIN;
            CHECK_EQ(direction & (PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FRETVAL),
                     expectedDirection);
        }
        command->ReleaseFuncDesc(function);
    }
}

VELORIN_CASE(Resources, TheWindowIconIsTheLibrarysOwnInEverySize) {
    // The toolkit's windows take their icon from the library itself: a host has
    // no file of ours to find it in.
    RequireLibrary();
    HMODULE module = Library().module;
    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(VELORIN_IDI_WINDOW),
                                RT_GROUP_ICON);  // RT_GROUP_ICON, wide
    REQUIRE(group != nullptr);
    const auto* directory = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    REQUIRE(directory != nullptr);
    // The group's directory: three words (reserved, type 1, count), then one
    // 14-byte entry per picture, starting with its width.
    constexpr std::size_t kHeader = 6;
    constexpr std::size_t kEntry = 14;
    const WORD count = static_cast<WORD>(directory[4] | (directory[5] << 8));
    std::vector<int> widths;
    for (std::size_t i = 0; i < count; ++i) {
        widths.push_back(directory[kHeader + i * kEntry]);
    }
    CHECK(widths == (std::vector<int>{16, 24, 32, 48, 64}));
    HANDLE icon = LoadImageW(module, MAKEINTRESOURCEW(VELORIN_IDI_WINDOW), IMAGE_ICON, 32, 32,
                             LR_DEFAULTCOLOR);
    CHECK(icon != nullptr);
    DestroyIcon(static_cast<HICON>(icon));
}

VELORIN_CASE(VersionResource, FixedInfoTranslationAndStrings) {
    const std::wstring path = velorin::comtest::DllPath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    REQUIRE(size > 0);
    std::vector<BYTE> block(size);
    REQUIRE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    REQUIRE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    CHECK_EQ(fixed->dwFileVersionMS, 0x00010000UL);
    CHECK_EQ(fixed->dwFileVersionLS, 0UL);
    CHECK_EQ(fixed->dwProductVersionMS, 0x00010000UL);
    CHECK_EQ(fixed->dwProductVersionLS, 0UL);
    CHECK_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    CHECK_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));

    WORD* translation = nullptr;
    REQUIRE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                           reinterpret_cast<void**>(&translation), &length));
    REQUIRE(length >= 4);
    CHECK_EQ(translation[0], 0x0409);
    CHECK_EQ(translation[1], 1200);

    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } strings[] = {
        {L"FileVersion", L"1.00"},
        {L"ProductVersion", L"1.00"},
        {L"ProductName", L"Velorin"},
        {L"InternalName", L"Velorin"},
        {L"OriginalFilename", L"Velorin.dll"},
        {L"OLESelfRegister", L""},
    };
    for (const auto& entry : strings) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + entry.name;
        wchar_t* value = nullptr;
        length = 0;
        if (CHECK(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value),
                                 &length))) {
            CHECK_EQ(std::wstring(value != nullptr ? value : L""), std::wstring(entry.value));
        }
    }
}

// --- The COM boundary's helpers, linked in statically ------------------------

VELORIN_CASE(Guard, ErrorNumbersMapToHresults) {
    const struct {
        std::int32_t number;
        HRESULT expected;
    } table[] = {
        {13, DISP_E_TYPEMISMATCH},
        {6, DISP_E_OVERFLOW},
        {7, E_OUTOFMEMORY},
        {91, static_cast<HRESULT>(0x800A005B)},   // object variable not set
        {380, static_cast<HRESULT>(0x800A017C)},  // invalid property value
        {static_cast<std::int32_t>(0x80004005), E_FAIL},
        {static_cast<std::int32_t>(0x80040154), REGDB_E_CLASSNOTREG},
        {0, E_FAIL},
        {0x10000, E_FAIL},
    };
    for (const auto& row : table) {
        CHECK_HR(velorin::com::HresultFromErrorNumber(row.number), row.expected);
    }
}

VELORIN_CASE(Guard, AnythingThrownBecomesAnHresultWithItsDescription) {
    using velorin::com::Guarded;
    CHECK_HR(Guarded([]() -> HRESULT { return S_FALSE; }), S_FALSE);
    CHECK_HR(Guarded([]() -> HRESULT { throw velorin::Error(13, "Type mismatch"); }),
             DISP_E_TYPEMISMATCH);
    CHECK_EQ(ErrorInfoDescription(), std::wstring(L"Type mismatch"));
    // UTF-8 inside, UTF-16 in the error info.
    CHECK_HR(Guarded([]() -> HRESULT {
                 throw velorin::Error(-2147467259, "Couche \xC2\xAB Rivi\xC3\xA8res \xC2\xBB");
             }),
             E_FAIL);
    CHECK_EQ(ErrorInfoDescription(), std::wstring(L"Couche \u00AB Rivi\u00E8res \u00BB"));
    CHECK_HR(Guarded([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    CHECK_HR(Guarded([]() -> HRESULT { throw std::runtime_error("boom"); }), E_UNEXPECTED);
    CHECK_EQ(ErrorInfoDescription(), std::wstring(L"boom"));
    CHECK_HR(Guarded([]() -> HRESULT { throw 42; }), E_UNEXPECTED);
}

VELORIN_CASE(Strings, Utf8AndUtf16RoundTripAndMalformedInputIsReplaced) {
    using velorin::com::NewBstr;
    using velorin::com::ToUtf16;
    using velorin::com::ToUtf8;
    const std::string utf8 = "Z\xC3\xBCrich \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80";
    const std::wstring utf16 = L"Z\u00FCrich \u6771\u4EAC \xD83D\xDE00";
    CHECK_EQ(ToUtf16(utf8), utf16);
    CHECK(ToUtf8(utf16) == utf8);
    CHECK_EQ(ToUtf16("A\xFF"
                     "B"),
             std::wstring(L"A\uFFFD"
                          L"B"));
    CHECK_EQ(ToUtf16(""), std::wstring());

    Bstr empty;
    *empty.Receive() = NewBstr("");
    CHECK(empty.Get() != nullptr);
    CHECK_EQ(SysStringLen(empty.Get()), 0U);
    Bstr withNul;
    *withNul.Receive() = NewBstr(std::string_view("a\0b", 3));
    CHECK_EQ(SysStringLen(withNul.Get()), 3U);
}

// --- Unloading for real -------------------------------------------------------

struct UnloadRun {
    std::wstring path;
    HRESULT classObject = E_FAIL;
    HRESULT click = S_OK;
    HRESULT canUnloadNow = E_FAIL;
    bool freed = false;
    bool stillMapped = false;
};

// On a thread of its own: loads a private copy of the library, makes, clicks
// and releases a command of each class, frees the copy, and ends. The thread's
// exit still runs the library's per-thread cleanup (the shared dialogs'
// holders), so the library must not have been unmapped under it.
DWORD WINAPI UseAndUnload(void* parameter) {
    auto& run = *static_cast<UnloadRun*>(parameter);
    HMODULE module = LoadLibraryW(run.path.c_str());
    if (module == nullptr) {
        return 1;
    }
    const auto getClassObject = reinterpret_cast<Exports::GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(2))));
    const auto canUnloadNow = reinterpret_cast<Exports::CanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(1))));
    auto application = std::make_shared<velorin::comtest::FakeApplication>();
    velorin::comtest::Hook hook(application);
    // The click's error box would wait for a person.
    velorin::comtest::WindowWatch watch;
    for (const ExpectedClass& cls : kClasses) {
        ComPtr<IClassFactory> factory;
        run.classObject =
            getClassObject(GuidFrom(cls.classId), IID_IClassFactory, factory.ReceiveVoid());
        if (FAILED(run.classObject)) {
            break;
        }
        ComPtr<ICommand> command;
        factory->CreateInstance(nullptr, IID_ICommand, command.ReceiveVoid());
        if (command) {
            command->OnCreate(&hook);
            run.click = command->OnClick();
        }
    }
    run.canUnloadNow = canUnloadNow();
    run.freed = FreeLibrary(module) != FALSE;
    run.stillMapped = GetModuleHandleW(run.path.c_str()) != nullptr;
    return 0;
}

VELORIN_CASE(Unloading, AThreadThatUsedTheLibraryEndsCleanlyAfterItIsUnloaded) {
    std::vector<wchar_t> folder(MAX_PATH + 1);
    REQUIRE(GetTempPathW(static_cast<DWORD>(folder.size()), folder.data()) > 0);
    UnloadRun run;
    run.path = std::wstring(folder.data()) + L"VelorinUnloadCopy.dll";
    REQUIRE(CopyFileW(velorin::comtest::DllPath().c_str(), run.path.c_str(), FALSE));
    HANDLE thread = CreateThread(nullptr, 0, &UseAndUnload, &run, 0, nullptr);
    REQUIRE(thread != nullptr);
    CHECK_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeThread(thread, &exitCode);
    CloseHandle(thread);
    CHECK_EQ(exitCode, 0UL);
    CHECK_HR(run.classObject, S_OK);
    CHECK_HR(run.click, S_OK);  // the run's error was shown, not returned
    CHECK_HR(run.canUnloadNow, S_OK);
    CHECK(run.freed);
    CHECK(run.stillMapped);
}

}  // namespace
