// One click, end to end, on Windows: a host embeds the reference host with a
// small map drawn on a GDI canvas, hands it to a command of the library under
// test (its path is the program's argument) as the hook, and clicks through
// ICommand; a person drives the real dialog and message boxes by window
// messages. The host wires the reference host as a Windows map window would:
// its cancel trackers ask the thread's queue for Esc presses, and a requested
// redraw is a message its window handles when the run pumps.
//
// Zoom and Flash and Copy Legend Colors are clicked; each through its class
// factory, as a host creates a command it has found registered.
//
// Groups: Click runs against either build of the library. Fault makes a host
// call throw velorin::Error, which must reach the command's trap inside the
// library: it needs VelorinSharedRuntime.dll, whose C++ runtime this program
// shares (see commands/com/CMakeLists.txt).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commands/com/com_prelude.h"
#include "commands/com/velorin.h"
#include "forms/frm_copy_legend.h"
#include "forms/frm_zoom_flash.h"
#include "host/codes.h"
#include "host/map.h"
#include "host/renderers.h"
#include "host/symbols.h"
#include "platform/memory/gdi/gdi_canvas.h"
#include "platform/memory/reference_host.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"
#include "platform/win32/win32_toolkit.h"
#include "platform/win32/win32_window.h"
#include "tests/com/check.h"
#include "tests/com/com_test_support.h"
#include "tests/support/shapes.h"
#include "tests/support/two_catchments.h"
#include "tests/win32/person.h"

namespace {

using velorin::comtest::ComPtr;
using velorin::host::esriFieldTypeInteger;
using velorin::host::esriFieldTypeString;
using velorin::host::esriGeometryPoint;
using velorin::host::esriGeometryPolygon;
using velorin::memory::HostBuilder;
using velorin::memory::ReferenceHost;
using velorin::objects::MakePoint;
using velorin::objects::MakePolygon;
using velorin::testing::Square;
using velorin::win32::ControlId;
using velorin::win32test::Describe;
using velorin::win32test::Person;

constexpr const wchar_t* kZoomFlashClass = L"{4C741D44-A258-44E0-86A5-B8C846DC420F}";
constexpr const wchar_t* kCopyLegendClass = L"{F2DBBC08-0F07-4721-A48C-E704CA994A3C}";
constexpr UINT kRedrawMessage = WM_APP + 1;

ReferenceHost TwoCatchments() {
    return velorin::testing::TwoCatchments().Build(velorin::memory::MakeGdiCanvas(200, 150));
}

struct Rgb {
    std::int32_t red = 0;
    std::int32_t green = 0;
    std::int32_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

constexpr Rgb kJunctionRed{200, 30, 30};
constexpr Rgb kJunctionGreen{30, 160, 60};

std::shared_ptr<velorin::objects::SimpleMarkerSymbol> Marker(
    const std::shared_ptr<velorin::objects::HostContext>& context, Rgb color) {
    auto marker = std::make_shared<velorin::objects::SimpleMarkerSymbol>(context);
    marker->SetColor(velorin::objects::MakeRgbColor(context, color.red, color.green, color.blue));
    return marker;
}

// Junctions 1 and 2 drawn red and green by a legend on their kind, not on the
// key, so the copy must go through each junction's symbol; catchments keyed by
// the junction's id as text, one of them with no junction at all.
ReferenceHost ColouredJunctions() {
    HostBuilder builder;
    const auto& context = builder.Context();
    auto legend = std::make_shared<velorin::objects::UniqueValueRenderer>(context);
    legend->SetFieldCount(1);
    legend->SetField(0, "Kind");
    legend->AddValue("r", "Kind", Marker(context, kJunctionRed));
    legend->AddValue("g", "Kind", Marker(context, kJunctionGreen));
    builder.FeatureLayer("NerroJunction", esriGeometryPoint)
        .Field("NerroID", esriFieldTypeInteger)
        .Field("Kind", esriFieldTypeString)
        .Feature({1, "r"}, MakePoint(5, 25))
        .Feature({2, "g"}, MakePoint(25, 25))
        .Renderer(legend)
        .FeatureLayer("Catchment", esriGeometryPolygon)
        .Field("JunctionID", esriFieldTypeString)
        .Feature({"1"}, MakePolygon({Square(0, 0, 10)}))
        .Feature({"2"}, MakePolygon({Square(20, 0, 10)}))
        .Feature({"7"}, MakePolygon({Square(40, 0, 10)}));
    return builder.Build(velorin::memory::MakeGdiCanvas(200, 150));
}

LRESULT CALLBACK MapWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kRedrawMessage) {
        auto* host = reinterpret_cast<ReferenceHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (host != nullptr) host->View().ProcessPendingRedraw();
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// The host application around the reference host: a hidden map window and the
// wiring, for the thread it is made on.
class TestHost {
  public:
    explicit TestHost(ReferenceHost host = TwoCatchments()) : m_host(std::move(host)) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &MapWindowProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"VelorinTestMapWindow";
        RegisterClassW(&windowClass);  // a second host finds it registered
        m_window = CreateWindowExW(0, L"VelorinTestMapWindow", L"Map", WS_OVERLAPPEDWINDOW, 0, 0,
                                   200, 150, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m_host));
        velorin::objects::HostHooks& hooks = m_host.Context().hooks;
        hooks.takeEscPress = [this] { return m_toolkit.TakeEscPress(); };
        hooks.redrawRequested = [this] { PostMessageW(m_window, kRedrawMessage, 0, 0); };
        m_hook = std::make_unique<velorin::comtest::Hook>(m_host.Application());
    }
    ~TestHost() {
        m_host.Context().hooks = {};
        DestroyWindow(m_window);
    }
    TestHost(const TestHost&) = delete;
    TestHost(TestHost&&) = delete;
    TestHost& operator=(const TestHost&) = delete;
    TestHost& operator=(TestHost&&) = delete;

    ReferenceHost& Host() { return m_host; }
    IDispatch* Hook() { return m_hook.get(); }

  private:
    ReferenceHost m_host;
    // The host's own use of the toolkit: Esc for its cancel trackers.
    velorin::win32::Win32Toolkit m_toolkit;
    HWND m_window = nullptr;
    std::unique_ptr<velorin::comtest::Hook> m_hook;
};

struct Library {
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    HMODULE module = nullptr;
    GetClassObject getClassObject = nullptr;
};

const Library& LibraryUnderTest() {
    static const Library library = [] {
        Library loaded;
        loaded.module = LoadLibraryW(velorin::comtest::DllPath().c_str());
        if (loaded.module != nullptr) {
            loaded.getClassObject = reinterpret_cast<Library::GetClassObject>(
                reinterpret_cast<void*>(GetProcAddress(loaded.module, "DllGetClassObject")));
        }
        return loaded;
    }();
    return library;
}

ComPtr<ICommand> NewCommand(const wchar_t* classId) {
    ComPtr<ICommand> command;
    ComPtr<IClassFactory> factory;
    if (LibraryUnderTest().getClassObject == nullptr) return command;
    CHECK_HR(LibraryUnderTest().getClassObject(velorin::comtest::GuidFrom(classId),
                                               IID_IClassFactory, factory.ReceiveVoid()),
             S_OK);
    if (factory) {
        CHECK_HR(factory->CreateInstance(nullptr, IID_ICommand, command.ReceiveVoid()), S_OK);
    }
    return command;
}

int Id(std::string_view control) {
    return ControlId(velorin::forms::frmZoomFlash::Layout(), control);
}

int LegendId(std::string_view control) {
    return ControlId(velorin::forms::frmCopyLegend::Layout(), control);
}

// Clicks the command while a person plays `script`; the person's failures
// become the case's. Returns the click's HRESULT.
HRESULT ClickWith(ICommand& command, Person::Script script) {
    Person person(GetCurrentThreadId(), std::move(script));
    const HRESULT hr = command.OnClick();
    person.Finish();
    for (const std::string& failure : person.Failures()) {
        velorin::check::Fail(__FILE__, __LINE__, "person: " + failure);
    }
    return hr;
}

void ExpectBox(Person& person, std::wstring_view text) {
    HWND box = person.WaitForWindow(L"Velorin");
    if (person.BoxText(box) != text) {
        person.Fail("box \"" + Describe(person.BoxText(box)) + "\", expected \"" + Describe(text) +
                    "\"");
    }
    person.Answer(box, IDOK);
}

// The dialog as the run shows it, with short flash times typed and OK pressed.
void AcceptWithShortFlashes(Person& person) {
    HWND dialog = person.WaitForWindow(L"Zoom and Flash");
    person.Type(dialog, Id("txtSrcFlashTime"), L"0.01");
    person.Type(dialog, Id("txtRelFlashTime"), L"0.01");
    person.Click(dialog, Id("cmdOK"));
    person.WaitUntilGone(dialog);
}

VELORIN_CASE(Click, APersonRunsZoomAndFlashThroughTheRealDialog) {
    velorin::comtest::Apartment apartment;
    TestHost host;
    ComPtr<ICommand> command = NewCommand(kZoomFlashClass);
    REQUIRE(command);
    CHECK_HR(command->OnCreate(host.Hook()), S_OK);

    const HRESULT hr = ClickWith(*command.Get(), [](Person& person) {
        HWND dialog = person.WaitForWindow(L"Zoom and Flash");
        // Preselected from the map's data-model names.
        const struct {
            std::string_view control;
            std::wstring_view text;
        } preselected[] = {{"cboLyr1", L"Catchment"},
                           {"cboFld1", L"NerroID"},
                           {"cboLyr2", L"NerroJunction"},
                           {"cboFld2", L"NerroID"}};
        for (const auto& p : preselected) {
            if (person.TextOf(person.Item(dialog, Id(p.control))) != p.text) {
                person.Fail(std::string(p.control) + " shows \"" +
                            Describe(person.TextOf(person.Item(dialog, Id(p.control)))) + "\"");
            }
        }
        person.Pick(dialog, Id("cboLyr2"), L"NerroJunction");
        person.Type(dialog, Id("txtSrcFlashTime"), L"soon");
        person.Click(dialog, Id("cmdOK"));
        // The dialog checks the entry and stays open.
        ExpectBox(person, L"Please input a number for Source feature flash time");
        person.Type(dialog, Id("txtSrcFlashTime"), L"0.01");
        person.Type(dialog, Id("txtRelFlashTime"), L"0.02");
        person.Click(dialog, Id("cmdOK"));
        person.WaitUntilGone(dialog);
        ExpectBox(person, L"Finished with Zoom and Flash Operation");
    });
    CHECK_HR(hr, S_OK);

    // The engine ran on the map: zooms, and every flash drawn with the not-XOR
    // pen, on and off.
    const velorin::objects::HostRecord& record = host.Host().Record();
    CHECK(!record.extents.empty());
    REQUIRE(!record.draws.empty());
    CHECK_EQ(record.draws.size() % 2, std::size_t{0});
    for (const auto& draw : record.draws) {
        CHECK_EQ(draw.rop2, velorin::host::esriROPNotXOrPen);
    }
    // Every flash gave back the pixels under it: the screen is the map as a
    // fresh redraw of the final extent draws it.
    host.Host().View().ProcessPendingRedraw();
    const std::vector<std::uint32_t> afterRun = host.Host().View().Screen().Pixels();
    host.Host().View().Refresh();
    CHECK(afterRun == host.Host().View().Screen().Pixels());
}

VELORIN_CASE(Fault, AHostFaultIsOneErrorBoxAndTheNextClickWorks) {
    velorin::comtest::Apartment apartment;
    TestHost host;
    ComPtr<ICommand> command = NewCommand(kZoomFlashClass);
    REQUIRE(command);
    CHECK_HR(command->OnCreate(host.Hook()), S_OK);
    host.Host().FailAt("IDisplay::StartDrawing", 1, velorin::host::E_HOST_FAIL,
                       "The display is not ready");

    HRESULT hr = ClickWith(*command.Get(), [](Person& person) {
        AcceptWithShortFlashes(person);
        ExpectBox(person, L"Error -2147467259: Catchment: feature OID 1: The display is not ready");
    });
    CHECK_HR(hr, S_OK);
    const std::size_t drawsAfterFault = host.Host().Record().draws.size();

    hr = ClickWith(*command.Get(), [](Person& person) {
        HWND dialog = person.WaitForWindow(L"Zoom and Flash");
        // The values accepted before the fault are offered again.
        if (person.TextOf(person.Item(dialog, Id("txtSrcFlashTime"))) != L"0.01") {
            person.Fail("the accepted flash time was not kept");
        }
        person.Click(dialog, Id("cmdOK"));
        person.WaitUntilGone(dialog);
        ExpectBox(person, L"Finished with Zoom and Flash Operation");
    });
    CHECK_HR(hr, S_OK);
    CHECK(host.Host().Record().draws.size() > drawsAfterFault);
}

VELORIN_CASE(Click, AnEscPressDuringTheRunPausesItOnce) {
    velorin::comtest::Apartment apartment;
    TestHost host;
    ComPtr<ICommand> command = NewCommand(kZoomFlashClass);
    REQUIRE(command);
    CHECK_HR(command->OnCreate(host.Hook()), S_OK);
    const DWORD uiThread = GetCurrentThreadId();
    const HRESULT hr = ClickWith(*command.Get(), [uiThread](Person& person) {
        HWND dialog = person.WaitForWindow(L"Zoom and Flash");
        person.Type(dialog, Id("txtSrcFlashTime"), L"0.01");
        person.Type(dialog, Id("txtRelFlashTime"), L"0.01");
        person.Click(dialog, Id("cmdOK"));
        // Queued behind the click: the dialog ends first, and the press waits
        // for the run's first cancel check.
        PostThreadMessageW(uiThread, WM_KEYDOWN, VK_ESCAPE, 1);
        person.WaitUntilGone(dialog);
        HWND pause = person.WaitForWindow(L"Paused");
        if (person.BoxText(pause) != L"Paused at Catchment OID = 1.  Click OK to continue.") {
            person.Fail("pause box \"" + Describe(person.BoxText(pause)) + "\"");
        }
        person.Answer(pause, IDCANCEL);
        // One press, one pause: the run ends and says so.
        ExpectBox(person, L"Finished with Zoom and Flash Operation");
    });
    CHECK_HR(hr, S_OK);
    CHECK(host.Host().Record().draws.empty());
}

std::shared_ptr<velorin::host::IFeatureRenderer> RendererOf(const ReferenceHost& host,
                                                            const std::string& layer) {
    const std::shared_ptr<velorin::host::IGeoFeatureLayer> geoLayer = host.FeatureLayerNamed(layer);
    return geoLayer->Renderer();
}

// The colour a unique value renderer draws `value` with, when its symbol is a
// fill of RGB colour.
std::optional<Rgb> FillColorOf(const velorin::host::IUniqueValueRenderer& renderer,
                               const std::string& value) {
    const auto fill = std::dynamic_pointer_cast<velorin::host::IFillSymbol>(renderer.Symbol(value));
    if (!fill) return std::nullopt;
    const auto rgb = std::dynamic_pointer_cast<velorin::host::IRgbColor>(fill->Color());
    if (!rgb) return std::nullopt;
    return Rgb{rgb->Red(), rgb->Green(), rgb->Blue()};
}

VELORIN_CASE(Click, APersonCopiesTheJunctionColoursToTheCatchments) {
    velorin::comtest::Apartment apartment;
    TestHost host(ColouredJunctions());
    ComPtr<ICommand> command = NewCommand(kCopyLegendClass);
    REQUIRE(command);
    CHECK_HR(command->OnCreate(host.Hook()), S_OK);

    const HRESULT hr = ClickWith(*command.Get(), [](Person& person) {
        HWND dialog = person.WaitForWindow(L"Copy Legend Colors");
        const struct {
            std::string_view control;
            std::wstring_view text;
        } preselected[] = {{"cboLyr1", L"NerroJunction"}, {"cboLyr2", L"Catchment"}};
        for (const auto& p : preselected) {
            if (person.TextOf(person.Item(dialog, LegendId(p.control))) != p.text) {
                person.Fail(std::string(p.control) + " shows \"" +
                            Describe(person.TextOf(person.Item(dialog, LegendId(p.control)))) +
                            "\"");
            }
        }
        person.Pick(dialog, LegendId("cboFld1"), L"NerroID");
        person.Pick(dialog, LegendId("cboFld2"), L"JunctionID");
        person.Click(dialog, LegendId("cmdOK"));
        person.WaitUntilGone(dialog);
        ExpectBox(person, L"Finished Copying Legend Colors");
    });
    CHECK_HR(hr, S_OK);

    // A legend of the catchments on their key, in the colours of the junctions
    // with the same key; the junctions' own legend is left as it was.
    const auto legend = std::dynamic_pointer_cast<velorin::host::IUniqueValueRenderer>(
        RendererOf(host.Host(), "Catchment"));
    REQUIRE(legend);
    CHECK_EQ(legend->FieldCount(), 1);
    CHECK_EQ(legend->Field(0), std::string("JunctionID"));
    CHECK_EQ(legend->ValueCount(), 2);
    CHECK(FillColorOf(*legend, "1") == kJunctionRed);
    CHECK(FillColorOf(*legend, "2") == kJunctionGreen);
    const auto source = std::dynamic_pointer_cast<velorin::host::IUniqueValueRenderer>(
        RendererOf(host.Host(), "NerroJunction"));
    REQUIRE(source);
    CHECK_EQ(source->Field(0), std::string("Kind"));
}

VELORIN_CASE(Click, CancelInTheCopyLegendDialogChangesNothingAndSaysNothing) {
    velorin::comtest::Apartment apartment;
    TestHost host(ColouredJunctions());
    const std::shared_ptr<velorin::host::IFeatureRenderer> before =
        RendererOf(host.Host(), "Catchment");
    ComPtr<ICommand> command = NewCommand(kCopyLegendClass);
    REQUIRE(command);
    CHECK_HR(command->OnCreate(host.Hook()), S_OK);

    // Any box after the dialog would be found by the person's watch and fail
    // the case as unexpected.
    const HRESULT hr = ClickWith(*command.Get(), [](Person& person) {
        HWND dialog = person.WaitForWindow(L"Copy Legend Colors");
        person.Click(dialog, LegendId("cmdCancel"));
        person.WaitUntilGone(dialog);
    });
    CHECK_HR(hr, S_OK);
    CHECK(RendererOf(host.Host(), "Catchment") == before);
}

}  // namespace
