// The registry as regsvr32 leaves it, read at three stages of one Wine prefix
// (scripts/windows-check.sh runs them in order):
//   --group=HostInstalled  before: stands in for the host's own registration
//                           of ICommand, which ours must never touch;
//   --group=Registered     after `regsvr32 Velorin.dll`;
//   --group=Unregistered   after `regsvr32 /u Velorin.dll` (run twice);
// and a ProgID taken over by another class between registration and removal:
//   --group=TakeOver       after a registration: repoints one ProgID;
//   --group=TakenOverKept  after the removal: that ProgID is still there.
#include <string>

#include "tests/com/check.h"
#include "tests/com/com_test_support.h"

namespace {

using velorin::comtest::Bstr;
using velorin::comtest::ClassesKeyExists;
using velorin::comtest::ComPtr;
using velorin::comtest::GuidFrom;
using velorin::comtest::GuidText;
using velorin::comtest::ReadClassesString;

constexpr const wchar_t* kLibraryId = L"{EA153FCF-EE31-4678-9A5A-6DA13C7BDC7E}";

// What the host's installation writes for its ICommand (its own
// command library, version 1.0, marshalled by the automation marshaller).
constexpr const wchar_t* kHostCommandKey = L"Interface\\{36B06538-4437-11D1-B970-080009EE4E51}";
constexpr const wchar_t* kHostLibraryId = L"{4ECCA6E2-B16B-4ACA-BD17-E74CAE4C150A}";
constexpr const wchar_t* kAutomationMarshaller = L"{00020424-0000-0000-C000-000000000046}";

// A class that took over one of our ProgIDs.
constexpr const wchar_t* kForeignClassId = L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";

struct ExpectedClass {
    const wchar_t* progId;
    const wchar_t* classId;
    const wchar_t* defaultInterfaceId;
    const wchar_t* name;
};

const ExpectedClass kClasses[] = {
    {L"Velorin.clsZoomFlash", L"{4C741D44-A258-44E0-86A5-B8C846DC420F}",
     L"{96542C55-774F-426B-A949-8CEAB788C831}", L"Velorin_ZoomFlash"},
    {L"Velorin.clsCopyLegend", L"{F2DBBC08-0F07-4721-A48C-E704CA994A3C}",
     L"{BA343DF8-5100-42AE-A858-8A56A6B51578}", L"Velorin_CopyLegend"},
};

bool WriteClassesString(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS status =
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::wstring ClassesString(const std::wstring& path, const wchar_t* name = nullptr) {
    std::wstring value;
    return ReadClassesString(path, name, value) ? value : L"(absent)";
}

void CheckHostCommandRegistrationIntact() {
    CHECK_EQ(ClassesString(kHostCommandKey), std::wstring(L"ICommand"));
    CHECK_EQ(ClassesString(std::wstring(kHostCommandKey) + L"\\TypeLib"),
             std::wstring(kHostLibraryId));
    CHECK_EQ(ClassesString(std::wstring(kHostCommandKey) + L"\\TypeLib", L"Version"),
             std::wstring(L"1.0"));
    CHECK_EQ(ClassesString(std::wstring(kHostCommandKey) + L"\\ProxyStubClsid32"),
             std::wstring(kAutomationMarshaller));
}

VELORIN_CASE(HostInstalled, HostsCommandInterfaceIsRegistered) {
    REQUIRE(WriteClassesString(kHostCommandKey, nullptr, L"ICommand"));
    REQUIRE(
        WriteClassesString(std::wstring(kHostCommandKey) + L"\\TypeLib", nullptr, kHostLibraryId));
    REQUIRE(WriteClassesString(std::wstring(kHostCommandKey) + L"\\TypeLib", L"Version", L"1.0"));
    REQUIRE(WriteClassesString(std::wstring(kHostCommandKey) + L"\\ProxyStubClsid32", nullptr,
                               kAutomationMarshaller));
    CheckHostCommandRegistrationIntact();
    // A fresh prefix: nothing of ours yet.
    for (const ExpectedClass& cls : kClasses) {
        CHECK(!ClassesKeyExists(cls.progId));
    }
}

VELORIN_CASE(Registered, ProgIdsAndClassIdsResolveBothWays) {
    for (const ExpectedClass& cls : kClasses) {
        CLSID classId{};
        CHECK_HR(CLSIDFromProgID(cls.progId, &classId), S_OK);
        CHECK_EQ(GuidText(classId), std::wstring(cls.classId));
        LPOLESTR progId = nullptr;
        CHECK_HR(ProgIDFromCLSID(GuidFrom(cls.classId), &progId), S_OK);
        CHECK_EQ(std::wstring(progId != nullptr ? progId : L""), std::wstring(cls.progId));
        CoTaskMemFree(progId);
    }
}

VELORIN_CASE(Registered, ClassesAreApartmentThreadedServersInTheLibrary) {
    for (const ExpectedClass& cls : kClasses) {
        const std::wstring classKey = std::wstring(L"CLSID\\") + cls.classId;
        std::wstring server;
        CHECK(ReadClassesString(classKey + L"\\InprocServer32", nullptr, server));
        CHECK(velorin::comtest::SameFile(server, velorin::comtest::DllPath()));
        CHECK_EQ(ClassesString(classKey + L"\\InprocServer32", L"ThreadingModel"),
                 std::wstring(L"Apartment"));
        CHECK_EQ(ClassesString(classKey + L"\\TypeLib"), std::wstring(kLibraryId));
    }
}

VELORIN_CASE(Registered, TypeLibraryAndDefaultInterfacesAreRegistered) {
    Bstr path;
    CHECK_HR(QueryPathOfRegTypeLib(GuidFrom(kLibraryId), 18, 0, 0, path.Receive()), S_OK);
    CHECK(velorin::comtest::SameFile(path.Text(), velorin::comtest::DllPath()));
    ComPtr<ITypeLib> library;
    CHECK_HR(LoadRegTypeLib(GuidFrom(kLibraryId), 18, 0, 0, library.Receive()), S_OK);
    for (const ExpectedClass& cls : kClasses) {
        const std::wstring interfaceKey = std::wstring(L"Interface\\") + cls.defaultInterfaceId;
        CHECK_EQ(ClassesString(interfaceKey + L"\\TypeLib"), std::wstring(kLibraryId));
    }
    CheckHostCommandRegistrationIntact();
}

VELORIN_CASE(Registered, CommandsAreCreatedThroughTheRegistry) {
    velorin::comtest::Apartment apartment;
    for (const ExpectedClass& cls : kClasses) {
        CLSID classId{};
        REQUIRE(SUCCEEDED(CLSIDFromProgID(cls.progId, &classId)));
        ComPtr<ICommand> command;
        CHECK_HR(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_ICommand,
                                  command.ReceiveVoid()),
                 S_OK);
        REQUIRE(command);
        Bstr name;
        CHECK_HR(command->get_Name(name.Receive()), S_OK);
        CHECK_EQ(name.Text(), std::wstring(cls.name));
    }
}

VELORIN_CASE(Unregistered, NothingOfOursResolvesAnyMore) {
    velorin::comtest::Apartment apartment;
    for (const ExpectedClass& cls : kClasses) {
        CLSID classId{};
        CHECK(FAILED(CLSIDFromProgID(cls.progId, &classId)));
        CHECK(!ClassesKeyExists(cls.progId));
        CHECK(!ClassesKeyExists(std::wstring(L"CLSID\\") + cls.classId));
        CHECK(!ClassesKeyExists(std::wstring(L"Interface\\") + cls.defaultInterfaceId));
        ComPtr<ICommand> command;
        CHECK_HR(CoCreateInstance(GuidFrom(cls.classId), nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICommand, command.ReceiveVoid()),
                 REGDB_E_CLASSNOTREG);
    }
    Bstr path;
    CHECK(FAILED(QueryPathOfRegTypeLib(GuidFrom(kLibraryId), 18, 0, 0, path.Receive())));
    CHECK(!ClassesKeyExists(std::wstring(L"TypeLib\\") + kLibraryId));
    CheckHostCommandRegistrationIntact();
}

VELORIN_CASE(TakeOver, AnotherClassTakesOverAProgId) {
    REQUIRE(WriteClassesString(std::wstring(kClasses[1].progId) + L"\\CLSID", nullptr,
                               kForeignClassId));
}

VELORIN_CASE(TakenOverKept, UnregistrationLeavesAProgIdThatIsNoLongerOurs) {
    CHECK_EQ(ClassesString(std::wstring(kClasses[1].progId) + L"\\CLSID"),
             std::wstring(kForeignClassId));
    // Ours went all the same.
    CHECK(!ClassesKeyExists(kClasses[0].progId));
    CHECK(!ClassesKeyExists(std::wstring(L"CLSID\\") + kClasses[1].classId));
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kClasses[1].progId);
}

}  // namespace
