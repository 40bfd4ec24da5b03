#include "platform/gdal/map_document.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "host/codes.h"
#include "host/error.h"
#include "platform/gdal/json_writer.h"
#include "platform/gdal/renderer_json.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"
#include "tests/gdal/ogr_fixture.h"
#include "tests/support/errors.h"

namespace velorin::gdal {
namespace {

using testing::OgrWriter;
using testing::ReadText;
using ::testing::StartsWith;
using testing::TempFolder;
using testing::WriteText;
using velorin::testing::DescriptionOf;

// data.gpkg: "Catchment" polygons (NerroID, Name), "Junction" points (NerroID) and
// the table "Owners" (Owner).
void WriteData(const std::filesystem::path& file) {
    OgrWriter writer(file, "GPKG");
    auto& catchments =
        writer.Layer("Catchment", wkbPolygon, {{"NerroID", OFTInteger}, {"Name", OFTString}});
    for (int k = 0; k < 3; ++k) {
        const std::string x0 = std::to_string(k * 10);
        const std::string x1 = std::to_string(k * 10 + 10);
        OgrWriter::Feature(catchments,
                           "POLYGON ((" + x0 + " 0," + x1 + " 0," + x1 + " 10," + x0 + " 0))",
                           [&](OGRFeature& f) {
                               f.SetField("NerroID", 12 + k);
                               const char* names[] = {"C0", "C1", "C2"};
                               f.SetField("Name", names[k]);
                           });
    }
    auto& junctions = writer.Layer("Junction", wkbPoint, {{"NerroID", OFTInteger}});
    for (int k = 0; k < 3; ++k) {
        OgrWriter::Feature(junctions, "POINT (" + std::to_string(k * 10 + 5) + " 1)",
                           [&](OGRFeature& f) { f.SetField("NerroID", 12 + k); });
    }
    auto& owners = writer.Layer("Owners", wkbNone, {{"Owner", OFTString}});
    for (const char* owner : {"Ann", "Bo"}) {
        OgrWriter::Feature(owners, "", [&](OGRFeature& f) { f.SetField("Owner", owner); });
    }
}

std::shared_ptr<objects::RgbColor> Rgb(const memory::ReferenceHost& host, int r, int g, int b) {
    return objects::MakeRgbColor(host.SharedContext(), r, g, b);
}

std::shared_ptr<objects::SimpleFillSymbol> Fill(const memory::ReferenceHost& host, int r, int g,
                                                int b) {
    auto fill = std::make_shared<objects::SimpleFillSymbol>(host.SharedContext());
    fill->SetColor(Rgb(host, r, g, b));
    return fill;
}

// The colour of a symbol of any simple kind, as (r, g, b).
std::vector<int> ColorOf(const std::shared_ptr<host::ISymbol>& symbol) {
    std::shared_ptr<host::IColor> color;
    if (auto fill = host::As<host::IFillSymbol>(symbol)) color = fill->Color();
    if (auto line = host::As<host::ILineSymbol>(symbol)) color = line->Color();
    if (auto marker = host::As<host::IMarkerSymbol>(symbol)) color = marker->Color();
    if (!color) return {};
    const std::int32_t bgr = color->RGB();
    return {bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF};
}

class MapDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override { WriteData(m_folder / "data.gpkg"); }

    TempFolder m_folder;
};

TEST_F(MapDocumentTest, SavedDocumentLoadsBackEqual) {
    auto document = LoadDataSet(m_folder / "data.gpkg");
    const auto& host = document.host;
    auto& map = host.FocusMap();

    // Catchment: every member of a unique value renderer, a query, a display field
    // and a selection.
    auto unique = std::make_shared<objects::UniqueValueRenderer>(host.SharedContext());
    unique->SetFieldCount(1);
    unique->SetField(0, "NerroID");
    unique->SetFieldType(0, false);
    unique->AddValue("12", "Nerro", Fill(host, 255, 0, 0));
    unique->AddValue("13", "Nerro", Fill(host, 0, 128, 255));
    unique->SetLabel("13", "Upper \"13\"");
    auto hatched = Fill(host, 1, 2, 3);
    hatched->SetStyle(host::esriSFSDiagonalCross);
    hatched->SetOutline(nullptr);
    unique->SetDefaultSymbol(hatched);
    unique->SetUseDefaultSymbol(false);
    unique->SetDefaultLabel("others");
    unique->SetColorScheme("Warm");
    const auto catchment = host.FeatureLayerNamed("Catchment");
    catchment->SetRenderer(unique);
    catchment->SetRendererPropertyPageClassID(std::string(objects::UniqueValuePropertyPageClassID));
    catchment->SetDefinitionExpression("Name = 'C1' OR NerroID = 14");
    catchment->SetDisplayField("Name");
    catchment->Select({1, 3});

    // Junction: a simple renderer with an inverting marker, hidden, in a group.
    auto marker = std::make_shared<objects::SimpleMarkerSymbol>(host.SharedContext());
    marker->SetStyle(host::esriSMSX);
    marker->SetSize(6.5);
    marker->SetColor(Rgb(host, 10, 20, 30));
    marker->SetROP2(host::esriROPNotXOrPen);
    auto simple = std::make_shared<objects::SimpleRenderer>(host.SharedContext(), marker);
    simple->SetLabel("Junctions");
    const auto junction = host.FeatureLayerNamed("Junction");
    junction->SetRenderer(simple);
    junction->SetVisible(false);
    map.RemoveLayer(0);
    auto group = std::make_shared<memory::GroupLayer>(host.SharedContext(), "Network");
    group->Add(junction);
    group->SetVisible(false);
    map.InsertLayer(0, group);
    host.Select("Owners", {2});
    map.View().SetExtent(objects::MakeEnvelope(-5, -5, 35, 25));
    const auto extent = map.View().Extent();

    const auto file = m_folder / "doc.json";
    SaveMapDocument(document, file);
    const auto loaded = LoadMapDocument(file);
    const auto& back = loaded.host;
    EXPECT_EQ(loaded.path, file);

    const auto& layers = back.FocusMap().Layers();
    ASSERT_EQ(layers.size(), 2U);
    const auto backGroup = std::dynamic_pointer_cast<memory::GroupLayer>(layers[0]);
    ASSERT_NE(backGroup, nullptr);
    EXPECT_EQ(backGroup->Name(), "Network");
    EXPECT_FALSE(backGroup->Visible());
    ASSERT_EQ(backGroup->Layers().size(), 1U);
    EXPECT_EQ(layers[1]->Name(), "Catchment");

    const auto backJunction = back.FeatureLayerNamed("Junction");
    EXPECT_FALSE(backJunction->Visible());
    const auto backSimple = host::As<host::ISimpleRenderer>(backJunction->Renderer());
    ASSERT_NE(backSimple, nullptr);
    EXPECT_EQ(backSimple->Label(), "Junctions");
    const auto backMarker = host::As<host::ISimpleMarkerSymbol>(backSimple->Symbol());
    ASSERT_NE(backMarker, nullptr);
    EXPECT_EQ(backMarker->Style(), host::esriSMSX);
    EXPECT_EQ(backMarker->Size(), 6.5);
    EXPECT_EQ(ColorOf(backSimple->Symbol()), (std::vector<int>{10, 20, 30}));
    EXPECT_EQ(backSimple->Symbol()->ROP2(), host::esriROPNotXOrPen);

    const auto backCatchment = back.FeatureLayerNamed("Catchment");
    EXPECT_EQ(backCatchment->DefinitionExpression(), "Name = 'C1' OR NerroID = 14");
    EXPECT_EQ(backCatchment->DisplayField(), "Name");
    EXPECT_EQ(backCatchment->RendererPropertyPageClassID(),
              objects::UniqueValuePropertyPageClassID);
    EXPECT_EQ(backCatchment->Selection().Oids(), (std::set<std::int32_t>{1, 3}));
    const auto backUnique = host::As<host::IUniqueValueRenderer>(backCatchment->Renderer());
    ASSERT_NE(backUnique, nullptr);
    ASSERT_EQ(backUnique->FieldCount(), 1);
    EXPECT_EQ(backUnique->Field(0), "NerroID");
    EXPECT_FALSE(backUnique->FieldType(0));
    ASSERT_EQ(backUnique->ValueCount(), 2);
    EXPECT_EQ(backUnique->Value(0), "12");
    EXPECT_EQ(backUnique->Value(1), "13");
    EXPECT_EQ(backUnique->Heading("13"), "Nerro");
    EXPECT_EQ(backUnique->Label("12"), "12");
    EXPECT_EQ(backUnique->Label("13"), "Upper \"13\"");
    EXPECT_EQ(ColorOf(backUnique->Symbol("12")), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(ColorOf(backUnique->Symbol("13")), (std::vector<int>{0, 128, 255}));
    // A new fill has the host's outline; the saved one keeps it.
    const auto valueFill = host::As<host::IFillSymbol>(backUnique->Symbol("12"));
    ASSERT_NE(valueFill->Outline(), nullptr);
    const auto backDefault = host::As<host::ISimpleFillSymbol>(backUnique->DefaultSymbol());
    ASSERT_NE(backDefault, nullptr);
    EXPECT_EQ(backDefault->Style(), host::esriSFSDiagonalCross);
    EXPECT_EQ(backDefault->Outline(), nullptr);
    EXPECT_EQ(ColorOf(backUnique->DefaultSymbol()), (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(backUnique->UseDefaultSymbol());
    EXPECT_EQ(backUnique->DefaultLabel(), "others");
    EXPECT_EQ(backUnique->ColorScheme(), "Warm");

    ASSERT_EQ(back.FocusMap().StandaloneTables().size(), 1U);
    EXPECT_EQ(back.TableNamed("Owners")->Selection().Oids(), (std::set<std::int32_t>{2}));

    const auto backExtent = back.FocusMap().View().Extent();
    EXPECT_NEAR(backExtent->XMin(), extent->XMin(), 1e-9);
    EXPECT_NEAR(backExtent->YMin(), extent->YMin(), 1e-9);
    EXPECT_NEAR(backExtent->XMax(), extent->XMax(), 1e-9);
    EXPECT_NEAR(backExtent->YMax(), extent->YMax(), 1e-9);

    // A second save says exactly the same: nothing was dropped on the way.
    const auto again = m_folder / "again.json";
    SaveMapDocument(loaded, again);
    EXPECT_EQ(ReadText(again), ReadText(file));
}

TEST_F(MapDocumentTest, TextLongerThanTheWritersBufferIsSavedWhole) {
    auto document = LoadDataSet(m_folder / "data.gpkg");
    const auto& host = document.host;
    // Longer than the pieces the text is handed on in, plain and to be escaped.
    const std::string plain(100000, 'v');
    std::string escaped;
    while (escaped.size() < 100000) escaped += "\"\xC3\xA9\n\\ ";
    auto unique = std::make_shared<objects::UniqueValueRenderer>(host.SharedContext());
    unique->SetFieldCount(1);
    unique->SetField(0, "NerroID");
    unique->AddValue(plain, escaped, Fill(host, 1, 2, 3));
    unique->AddValue("12", plain, Fill(host, 4, 5, 6));
    unique->SetLabel("12", escaped);
    host.FeatureLayerNamed("Catchment")->SetRenderer(unique);

    const auto file = m_folder / "long.json";
    SaveMapDocument(document, file);
    const auto loaded = LoadMapDocument(file);
    const auto back = host::As<host::IUniqueValueRenderer>(
        loaded.host.FeatureLayerNamed("Catchment")->Renderer());
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->ValueCount(), 2);
    EXPECT_EQ(back->Value(0), plain);
    EXPECT_EQ(back->Heading(plain), escaped);
    EXPECT_EQ(back->Heading("12"), plain);
    EXPECT_EQ(back->Label("12"), escaped);
    EXPECT_EQ(ColorOf(back->Symbol("12")), (std::vector<int>{4, 5, 6}));
}

TEST_F(MapDocumentTest, DataSetPathsAreRelativeToTheDocumentWhereverItIsSaved) {
    const auto document = LoadDataSet(m_folder / "data.gpkg");
    std::filesystem::create_directories(m_folder / "maps" / "deep");
    SaveMapDocument(document, m_folder / "maps" / "deep" / "a.json");
    EXPECT_THAT(ReadText(m_folder / "maps" / "deep" / "a.json"),
                ::testing::HasSubstr(R"("path": "../../data.gpkg")"));

    // Moved with its data, the document still finds it.
    std::filesystem::create_directories(m_folder / "moved");
    std::filesystem::rename(m_folder / "maps", m_folder / "moved" / "maps");
    std::filesystem::rename(m_folder / "data.gpkg", m_folder / "moved" / "data.gpkg");
    const auto moved = LoadMapDocument(m_folder / "moved" / "maps" / "deep" / "a.json");
    EXPECT_EQ(moved.host.FocusMap().Layers().size(), 2U);

    // Saved as elsewhere, the path is rebased on the new folder.
    SaveMapDocument(moved, m_folder / "b.json");
    EXPECT_THAT(ReadText(m_folder / "b.json"),
                ::testing::HasSubstr(R"("path": "moved/data.gpkg")"));
    EXPECT_EQ(LoadMapDocument(m_folder / "b.json").host.FocusMap().Layers().size(), 2U);
}

// Limits the size of files this process may write, and lets writes beyond it fail
// with EFBIG rather than end the process: a full disk that even root meets.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    FileSizeLimit(FileSizeLimit&&) = delete;
    FileSizeLimit& operator=(FileSizeLimit&&) = delete;

  private:
    rlimit m_old{};
    sighandler_t m_oldHandler;
};

TEST_F(MapDocumentTest, FailedWriteLeavesTheOldDocumentWholeAndNoTemporaryFile) {
    auto document = LoadDataSet(m_folder / "data.gpkg");
    const auto file = m_folder / "doc.json";
    SaveMapDocument(document, file);
    const std::string old = ReadText(file);
    const auto names = m_folder.Names();

    document.host.FeatureLayerNamed("Catchment")->SetVisible(false);
    {
        const FileSizeLimit limit(100);
        EXPECT_THAT(DescriptionOf([&] { SaveMapDocument(document, file); }),
                    StartsWith(file.generic_string() + ": cannot be saved: "));
    }
    EXPECT_EQ(ReadText(file), old);
    EXPECT_EQ(m_folder.Names(), names);
    // Once the disk has room again, the same document saves.
    SaveMapDocument(document, file);
    EXPECT_NE(ReadText(file), old);
}

TEST_F(MapDocumentTest, SavingOntoAFolderFailsWithoutLeavingATemporaryFile) {
    const auto document = LoadDataSet(m_folder / "data.gpkg");
    std::filesystem::create_directory(m_folder / "taken");
    const auto names = m_folder.Names();
    EXPECT_THAT(DescriptionOf([&] { SaveMapDocument(document, m_folder / "taken"); }),
                StartsWith((m_folder / "taken").generic_string() + ": cannot be saved: "));
    EXPECT_EQ(m_folder.Names(), names);
    EXPECT_TRUE(std::filesystem::is_empty(m_folder / "taken"));
}

// What the format cannot hold is refused before anything is written.
struct SaveRefusal {
    const char* label;
    std::function<void(MapDocument&)> change;
    std::string expected;  // after "<file>: "
};

class MapDocumentSaveRefusal : public MapDocumentTest,
                               public ::testing::WithParamInterface<SaveRefusal> {};

TEST_P(MapDocumentSaveRefusal, NamesTheLayerAndKeepsTheOldFile) {
    auto document = LoadDataSet(m_folder / "data.gpkg");
    const auto file = m_folder / "doc.json";
    SaveMapDocument(document, file);
    const std::string old = ReadText(file);
    GetParam().change(document);
    EXPECT_EQ(DescriptionOf([&] { SaveMapDocument(document, file); }),
              file.generic_string() + ": " + GetParam().expected);
    EXPECT_EQ(ReadText(file), old);
    EXPECT_FALSE(std::filesystem::exists(m_folder / "new.json"));
    EXPECT_ANY_THROW(SaveMapDocument(document, m_folder / "new.json"));
    EXPECT_FALSE(std::filesystem::exists(m_folder / "new.json"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapDocumentSaveRefusal,
    ::testing::Values(
        SaveRefusal{"PictureMarker",
                    [](MapDocument& document) {
                        const auto& context = document.host.SharedContext();
                        document.host.FeatureLayerNamed("Junction")
                            ->SetRenderer(std::make_shared<objects::SimpleRenderer>(
                                context, std::make_shared<objects::PictureMarkerSymbol>(context)));
                    },
                    "layers[0].renderer.symbol: layer \"Junction\": only simple marker, line and "
                    "fill symbols can be saved"},
        SaveRefusal{"PictureMarkerAsAUniqueValue",
                    [](MapDocument& document) {
                        const auto& context = document.host.SharedContext();
                        auto unique = std::make_shared<objects::UniqueValueRenderer>(context);
                        unique->AddValue("12", "", Fill(document.host, 1, 1, 1));
                        unique->AddValue("13", "",
                                         std::make_shared<objects::PictureMarkerSymbol>(context));
                        document.host.FeatureLayerNamed("Catchment")->SetRenderer(unique);
                    },
                    "layers[1].renderer.values[1].symbol: layer \"Catchment\": only simple "
                    "marker, line and fill symbols can be saved"},
        SaveRefusal{"RasterLayer",
                    [](MapDocument& document) {
                        document.host.FocusMap().AddLayer(std::make_shared<memory::RasterLayer>(
                            document.host.SharedContext(), "Relief",
                            std::make_shared<memory::RasterData>("Relief")));
                    },
                    "layers[2]: layer \"Relief\" is a raster layer that a map document cannot "
                    "hold"},
        SaveRefusal{"LayerNotFromADataSet",
                    [](MapDocument& document) {
                        const auto& context = document.host.SharedContext();
                        auto own = std::make_shared<memory::FeatureClass>(
                            context, "Sketch", host::esriGeometryPoint, host::esriFTSimple,
                            memory::MakeFields(context, {}));
                        document.host.FocusMap().AddLayer(
                            std::make_shared<memory::FeatureLayer>(context, "Sketch", own));
                    },
                    "layers[2].source: layer \"Sketch\" was not read from a data set, so it "
                    "cannot be saved"},
        SaveRefusal{"ValueNotUtf8",
                    [](MapDocument& document) {
                        auto unique = std::make_shared<objects::UniqueValueRenderer>(
                            document.host.SharedContext());
                        unique->SetFieldCount(1);
                        unique->SetField(0, "Name");
                        unique->AddValue("C1", "", Fill(document.host, 1, 1, 1));
                        unique->AddValue("Caf\xE9", "", Fill(document.host, 2, 2, 2));
                        document.host.FeatureLayerNamed("Catchment")->SetRenderer(unique);
                    },
                    "layers[1].renderer.values[1].value: layer \"Catchment\": the text "
                    "\"Caf\\xE9\" is not valid UTF-8"},
        SaveRefusal{"LayerNameNotUtf8",
                    [](MapDocument& document) {
                        document.host.FeatureLayerNamed("Junction")->SetName("Jun\xFF\xFEtion");
                    },
                    "layers[0].name: layer \"Jun\\xFF\\xFEtion\": the text "
                    "\"Jun\\xFF\\xFEtion\" is not valid UTF-8"}),
    [](const auto& test) { return std::string(test.param.label); });

// A document that cannot be loaded, and what the error says after "<file>: ".
struct BadDocument {
    const char* label;
    std::string text;
    std::string expected;
};

class MapDocumentLoadRefusal : public MapDocumentTest,
                               public ::testing::WithParamInterface<BadDocument> {};

TEST_P(MapDocumentLoadRefusal, GivesOneErrorNamingTheDocumentAndThePlace) {
    const auto file = m_folder / "bad.json";
    WriteText(file, GetParam().text);
    EXPECT_THAT(DescriptionOf([&] { LoadMapDocument(file); }),
                StartsWith(file.generic_string() + ": " + GetParam().expected));
}

// A document with one feature layer: its members after "kind", "name" and
// "source" are spliced in.
std::string Layer(const std::string& more, const std::string& layer = "Catchment",
                  const std::string& path = "data.gpkg") {
    return R"({"velorinMapDocument": 1, "layers": [{"kind": "feature", "name": "L", )"
           R"("source": {"path": ")" +
           path + R"(", "layer": ")" + layer + R"("})" + more + "}]}";
}

// Groups inside groups, levels deep, with an empty group at the bottom.
std::string NestedGroups(int levels) {
    std::string text = R"({"velorinMapDocument": 1, "layers": [)";
    for (int i = 0; i < levels; ++i) text += R"({"kind": "group", "name": "G", "layers": [)";
    for (int i = 0; i < levels; ++i) text += "]}";
    return text + "]}";
}

// A map object of n members, each its own: a misspelt member is refused only
// once the object is read.
std::string ManyMembers(int n) {
    std::string text = R"({"velorinMapDocument": 1, "layers": [], "map": {)";
    for (int i = 0; i < n; ++i) text += (i ? ", \"k" : "\"k") + std::to_string(i) + "\": 0";
    return text + "}}";
}

std::string WithSymbol(const std::string& symbol) {
    return Layer(R"(, "renderer": {"type": "simple", "symbol": )" + symbol + "}");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapDocumentLoadRefusal,
    ::testing::Values(
        BadDocument{"MalformedJson", R"({"velorinMapDocument": 1, "layers": [)",
                    "malformed JSON: parse error at line 1, column 38: "},
        BadDocument{"NotADocument", R"({"layers": []})",
                    "not a map document (it has no \"velorinMapDocument\" member)"},
        BadDocument{"NewerVersion", R"({"velorinMapDocument": 2, "layers": []})",
                    "velorinMapDocument: version 2 is newer than this program reads (1)"},
        BadDocument{"MissingDataFile", Layer("", "Catchment", "gone/data.gpkg"),
                    "layers[0].source.path: gone/data.gpkg: no such file"},
        BadDocument{"UnknownLayerInTheDataSet", Layer("", "Rivers"),
                    "layers[0].source.layer: the data set \"data.gpkg\" has no layer \"Rivers\""},
        BadDocument{"TableAsAFeatureLayer", Layer("", "Owners"),
                    "layers[0].source: data.gpkg: layer \"Owners\": has no geometry; it can only "
                    "be a standalone table"},
        BadDocument{"UnknownRendererType", Layer(R"(, "renderer": {"type": "classBreaks"})"),
                    "layers[0].renderer.type: unknown renderer type \"classBreaks\" (one of "
                    "simple, uniqueValue)"},
        BadDocument{"ColourOutOfRange",
                    WithSymbol(R"({"type": "simpleFill", "color": [0, 256, 0]})"),
                    "layers[0].renderer.symbol.color[1]: a colour component is a whole number "
                    "from 0 to 255, not 256"},
        BadDocument{"ColourNotATriple", WithSymbol(R"({"type": "simpleFill", "color": "red"})"),
                    "layers[0].renderer.symbol.color: a colour is [red, green, blue]"},
        BadDocument{"UnknownSymbolStyle",
                    WithSymbol(R"({"type": "simpleLine", "style": "zigzag"})"),
                    "layers[0].renderer.symbol.style: unknown style \"zigzag\" (one of solid, "},
        BadDocument{"UnknownSymbolType", WithSymbol(R"({"type": "pictureMarker"})"),
                    "layers[0].renderer.symbol.type: unknown symbol type \"pictureMarker\""},
        BadDocument{"OutlineOfAnotherKind",
                    WithSymbol(R"({"type": "simpleFill", "outline": {"type": "simpleMarker"}})"),
                    "layers[0].renderer.symbol.outline.type: an outline is a \"simpleLine\""},
        BadDocument{"NegativeSize", WithSymbol(R"({"type": "simpleMarker", "size": -1})"),
                    "layers[0].renderer.symbol.size: a size is not negative"},
        BadDocument{"MisspeltMember", Layer(R"(, "visibel": false)"),
                    "layers[0].visibel: unknown member"},
        BadDocument{"FlagOfTheWrongType", Layer(R"(, "visible": "no")"),
                    "layers[0].visible: expected true or false, not \"no\""},
        BadDocument{"UnknownLayerKind",
                    R"({"velorinMapDocument": 1, "layers": [{"kind": "raster", "name": "R"}]})",
                    "layers[0].kind: unknown layer kind \"raster\""},
        BadDocument{"QueryTheHostCannotEvaluate", Layer(R"(, "definitionQuery": "Nope = 1")"),
                    "layers[0].definitionQuery: "},
        BadDocument{"UnknownDisplayField", Layer(R"(, "displayField": "Nope")"),
                    "layers[0].displayField: Layer L has no field Nope to display"},
        BadDocument{"SelectionOfAMissingFeature", Layer(R"(, "selection": [1, 99])"),
                    "layers[0].selection: "},
        BadDocument{"SelectionOfNonNumbers", Layer(R"(, "selection": [1, "2"])"),
                    "layers[0].selection[1]: expected a whole number from 1 to 2147483647"},
        BadDocument{"RendererKeyNotInTheLayer",
                    Layer(R"(, "renderer": {"type": "uniqueValue", "fields": [{"name": "Id"}]})"),
                    "layers[0].renderer.fields[0].name: layer \"L\" has no field \"Id\""},
        BadDocument{"TooManyKeyFields",
                    Layer(R"(, "renderer": {"type": "uniqueValue", "fields": [{"name": "Name"},)"
                          R"({"name": "Name"}, {"name": "Name"}, {"name": "Name"}]})"),
                    "layers[0].renderer.fields: A unique value renderer has 0 to 3 key fields"},
        BadDocument{"DuplicateUniqueValue",
                    Layer(R"(, "renderer": {"type": "uniqueValue", "fields": [{"name": "Name"}],)"
                          R"( "values": [{"value": "C1"}, {"value": "C1"}]})"),
                    "layers[0].renderer.values[1].value: The value 'C1' is already in the "
                    "renderer"},
        // A legend's values are read as the document is parsed; their faults still
        // come after those of what is read before them.
        BadDocument{"LegendFaultAfterTheDataFile",
                    Layer(R"(, "renderer": {"type": "uniqueValue", "fields": [{"name": "Name"}],)"
                          R"( "values": [{"value": "C1"}, {"value": "C1"}]})",
                          "Catchment", "gone/data.gpkg"),
                    "layers[0].source.path: gone/data.gpkg: no such file"},
        BadDocument{"LegendFaultAfterTheKeyFields",
                    Layer(R"(, "renderer": {"values": [{"value": "C1"}, {"value": "C1"}],)"
                          R"( "type": "uniqueValue", "fields": [{"name": "Name", "x": 1}]})"),
                    "layers[0].renderer.fields[0].x: unknown member"},
        BadDocument{"ExtentNotANumber",
                    R"({"velorinMapDocument": 1, "map": {"extent": {"xMin": 0, "yMin": 0,)"
                    R"( "xMax": "wide", "yMax": 1}}, "layers": []})",
                    "map.extent.xMax: expected a number, not \"wide\""},
        BadDocument{"ErrorInsideAGroup",
                    R"({"velorinMapDocument": 1, "layers": [{"kind": "group", "name": "G", )"
                    R"("layers": [{"kind": "feature", "name": "J", "source": {"path": )"
                    R"("data.gpkg", "layer": "Nope"}}]}]})",
                    "layers[0].layers[0].source.layer: the data set \"data.gpkg\" has no layer"},
        BadDocument{"GroupsNestTooDeep", NestedGroups(100), "layers[0].layers[0].layers[0]"},
        BadDocument{"NumberBeyondTheDoubleRange",
                    R"({"velorinMapDocument": 1, "map": {"extent": {"xMin": 1e400, "yMin": 0,)"
                    R"( "xMax": 1, "yMax": 1}}, "layers": []})",
                    "map.extent.xMin: number out of range"},
        BadDocument{"NegativeNumberBeyondTheRangeInASymbol",
                    WithSymbol(R"({"type": "simpleMarker", "size": -1e400})"),
                    "layers[0].renderer.symbol.size: number out of range"},
        BadDocument{"WholeNumberBeyondTheRangeInAList",
                    Layer(R"(, "selection": [1, 1)" + std::string(400, '0') + "])"),
                    "layers[0].selection[1]: number out of range"},
        BadDocument{"ValueNestedDeeperThanAStack",
                    Layer(R"(, "visible": )" + std::string(200000, '[') + std::string(200000, ']')),
                    "layers[0].visible: expected true or false, not an array"},
        BadDocument{"ObjectOfTooManyMembers", ManyMembers(100000),
                    "map: an object has more than 64 members"},
        BadDocument{"TableWithAnUnknownLayer",
                    R"({"velorinMapDocument": 1, "layers": [], "tables": [{"name": "T", )"
                    R"("source": {"path": "data.gpkg", "layer": "Nope"}}]})",
                    "tables[0].source.layer: the data set \"data.gpkg\" has no layer \"Nope\""}),
    [](const auto& test) { return std::string(test.param.label); });

// A renderer as a document holds it.
std::string Written(const std::shared_ptr<host::IFeatureRenderer>& renderer) {
    std::string text;
    JsonWriter out([&text](std::string_view piece) { text.append(piece); });
    WriteRenderer(out, DocumentFaults("written"), renderer, "renderer", "L");
    out.Finish();
    return text;
}

// A legend's entries are read as the document is parsed, most of them straight from
// the parser; whatever an entry holds, the outcome (the legend, or the fault and
// its message) is that of reading it as JSON.
TEST_F(MapDocumentTest, LegendEntriesReadAsParsedAreReadAsFromJson) {
    const std::vector<std::string> entries = {
        // Regular.
        R"({"value": "C1", "heading": "H", "symbol": {"type": "simpleMarker", "color": [1, 2, 3]}})",
        R"({"symbol": {"color": [0, 0, 255], "rasterOp": 7, "size": 7.5, "style": "diamond", )"
        R"("type": "simpleMarker"}, "label": "L", "heading": "H", "value": "C1"})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "size": 8, "rasterOp": 16}})",
        R"({"value": "C1", "symbol": {"type": "simpleLine", "style": "dash", "width": 2, )"
        R"("color": [4, 5, 6]}})",
        R"({"value": "C1", "symbol": {"type": "simpleFill", "style": "cross", "color": [1, 1, 1], )"
        R"("outline": {"type": "simpleLine", "width": 0.5, "color": [9, 9, 9], "rasterOp": 3}}})",
        R"({"value": "C1", "symbol": {"type": "simpleFill", "outline": null}})",
        R"({"value": "C1", "symbol": null})",
        R"({"value": "C\u00e9\n1", "label": ""})",
        // Out of the ordinary, or wrong.
        R"({"value": "C1", "value": "C2"})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "type": "simpleLine", "width": 1}})",
        R"({"value": "C1", "colour": [1, 2, 3]})",
        R"({"value": "C1", "x": [[[{"y": [1]}]]]})",
        R"({"heading": "H"})",
        R"({"value": 5})",
        "5",
        R"("C1")",
        "[1]",
        "null",
        "{}",
        R"({"value": "C0"})",
        R"({"value": "C1", "heading": null})",
        R"({"value": "C1", "label": 3})",
        R"({"value": "C1", "symbol": "red"})",
        R"({"value": "C1", "symbol": {}})",
        R"({"value": "C1", "symbol": {"type": "pictureMarker"}})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "style": "zigzag"}})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "size": -1}})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "size": "big"}})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "color": [1, 2, 3, 4]}})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "color": [1, 256, 3]}})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "color": [1, -1, 3]}})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "color": [1, 2.0, 3]}})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "color": [1, 18446744073709551615, 3]}})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "rasterOp": 0}})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "rasterOp": 17}})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "rasterOp": 2.0}})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "width": 1}})",
        R"({"value": "C1", "symbol": {"type": "simpleLine", "size": 1}})",
        R"({"value": "C1", "symbol": {"type": "simpleFill", "size": 1}})",
        R"({"value": "C1", "symbol": {"type": "simpleMarker", "outline": null}})",
        R"({"value": "C1", "symbol": {"type": "simpleFill", "outline": {"type": "simpleMarker"}}})",
        R"({"value": "C1", "symbol": {"type": "simpleFill", "outline": {"width": 1}}})",
        R"({"value": "C1", "symbol": {"type": "simpleFill", "outline": {"type": "simpleLine", )"
        R"("outline": null}}})",
        R"({"value": "C1", "symbol": {"type": "simpleFill", "outline": 5}})",
    };
    const auto file = m_folder / "legend.json";
    for (const std::string& entry : entries) {
        SCOPED_TRACE(entry);
        const std::string renderer =
            R"({"type": "uniqueValue", "fields": [{"name": "Name"}], "values": [)"
            R"({"value": "C0", "label": "first"}, )" +
            entry + "]}";
        WriteText(file, Layer(R"(, "renderer": )" + renderer));
        std::string parsed;
        try {
            const auto document = LoadMapDocument(file);
            parsed = Written(document.host.FeatureLayerNamed("L")->Renderer());
        } catch (const Error& error) {
            parsed = error.Description();
        }
        std::string read;
        try {
            read = Written(ReadRenderer(DocumentFaults(file.generic_string()),
                                        Json::parse(renderer), "layers[0].renderer",
                                        std::make_shared<objects::HostContext>()));
        } catch (const Error& error) {
            read = error.Description();
        }
        EXPECT_EQ(parsed, read);
    }
}

TEST_F(MapDocumentTest, LoadsTheSmallestDocumentWithTheHostsDefaults) {
    const auto file = m_folder / "small.json";
    WriteText(file, Layer(""));
    const auto document = LoadMapDocument(file);
    const auto layer = document.host.FeatureLayerNamed("L");
    EXPECT_TRUE(layer->Visible());
    EXPECT_EQ(layer->DefinitionExpression(), "");
    EXPECT_TRUE(host::Supports<host::ISimpleRenderer>(layer->Renderer()));
    EXPECT_EQ(layer->Data()->Store()->Size(), 3U);
    EXPECT_EQ(document.host.Document().Title(), "small.json");
}

// JSON leaves a member written twice to the reader: a document's is the last, and
// so are the values of its legend.
TEST_F(MapDocumentTest, AMemberWrittenTwiceIsTheLastWithItsLegend) {
    const std::string first =
        R"(, "renderer": {"type": "uniqueValue", "fields": [], "values": [{"value": "a"}]})";
    const std::string table[][2] = {
        {first + R"(, "renderer": {"type": "uniqueValue", "fields": []})", ""},
        {first +
             R"(, "renderer": {"type": "uniqueValue", "fields": [], "values": [{"value": "b"}]})",
         "b"}};
    for (const auto& [members, values] : table) {
        const auto file = m_folder / "twice.json";
        WriteText(file, Layer(members));
        const auto document = LoadMapDocument(file);
        const auto unique =
            host::As<host::IUniqueValueRenderer>(document.host.FeatureLayerNamed("L")->Renderer());
        ASSERT_TRUE(unique) << members;
        std::string read;
        for (std::int32_t i = 0; i < unique->ValueCount(); ++i) read += unique->Value(i);
        EXPECT_EQ(read, values) << members;
    }
}

TEST_F(MapDocumentTest, GroupsNestAsDeepAsAPersonWouldNest) {
    const auto file = m_folder / "groups.json";
    WriteText(file, NestedGroups(20));
    const auto document = LoadMapDocument(file);
    EXPECT_EQ(document.host.FocusMap().Layers().size(), 1U);
}

TEST_F(MapDocumentTest, DocumentsThatAreNoFilesAreRefusedWithoutBlocking) {
    const auto fifo = m_folder / "pipe.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(DescriptionOf([&] { LoadMapDocument(fifo); }),
              fifo.generic_string() + ": is not a regular file");
    EXPECT_EQ(DescriptionOf([&] { LoadMapDocument(m_folder / "none.json"); }),
              (m_folder / "none.json").generic_string() + ": no such file");
    EXPECT_EQ(DescriptionOf([&] { LoadMapDocument(m_folder.Path()); }),
              m_folder.Path().generic_string() + ": is a folder, not a map document");
}

// Files a document must never replace: its own data, and anything that is not a
// map document. Each is refused naming the reason, and nothing changes.
struct ProtectedFile {
    const char* label;
    const char* name;     // the file saved to, in the test folder
    const char* content;  // written there first (nullptr: made by the test)
    std::string reason;   // after "<name>: cannot be saved: "
};

class MapDocumentProtectedFile : public MapDocumentTest,
                                 public ::testing::WithParamInterface<ProtectedFile> {};

TEST_P(MapDocumentProtectedFile, IsRefusedAndLeftAsItWas) {
    const auto document = LoadDataSet(m_folder / "data.gpkg");
    const auto file = m_folder / GetParam().name;
    if (GetParam().content) WriteText(file, GetParam().content);
    if (std::string(GetParam().label) == "LinkToADataSet") {
        std::filesystem::create_symlink("data.gpkg", file);
    }
    const std::string before = ReadText(file);
    const auto names = m_folder.Names();
    EXPECT_THAT(DescriptionOf([&] { SaveMapDocument(document, file); }),
                StartsWith(file.generic_string() + ": cannot be saved: " + GetParam().reason));
    EXPECT_EQ(ReadText(file), before);
    EXPECT_EQ(m_folder.Names(), names);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapDocumentProtectedFile,
    ::testing::Values(ProtectedFile{"ADataSetOfTheMap", "data.gpkg", nullptr,
                                    "it is a data set this map reads (its layer \"Catchment\")"},
                      ProtectedFile{"LinkToADataSet", "link.gpkg", nullptr,
                                    "it is a data set this map reads (its layer \"Catchment\")"},
                      ProtectedFile{"AnotherFile", "notes.txt", "mine\n",
                                    "it is not a map document"},
                      ProtectedFile{"OtherJson", "places.geojson",
                                    R"({"type": "FeatureCollection", "features": []})",
                                    "it is not a map document"},
                      ProtectedFile{"AnEmptyFile", "empty.json", "", "it is not a map document"}),
    [](const auto& test) { return std::string(test.param.label); });

TEST_F(MapDocumentTest, SavingThroughALinkWritesPathsFromTheFileWritten) {
    const auto document = LoadDataSet(m_folder / "data.gpkg");
    std::filesystem::create_directories(m_folder / "maps" / "real");
    const auto real = m_folder / "maps" / "real" / "doc.json";
    const auto link = m_folder / "link.json";
    std::filesystem::create_symlink("maps/real/doc.json", link);
    SaveMapDocument(document, link);

    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_THAT(ReadText(real), ::testing::HasSubstr(R"("path": "../../data.gpkg")"));
    EXPECT_EQ(LoadMapDocument(real).host.FocusMap().Layers().size(), 2U);
    EXPECT_EQ(LoadMapDocument(link).host.FocusMap().Layers().size(), 2U);
}

// The name a save in this process gives its temporary file, with another
// process id: as a save killed before its rename leaves it.
std::string TemporaryName(const std::string& file, long pid) {
    std::array<char, 256> host{};
    ::gethostname(host.data(), host.size() - 1);
    std::string tag;
    for (const char* c = host.data(); *c != '\0'; ++c)
        tag += std::isalnum(static_cast<unsigned char>(*c)) != 0 || *c == '-' ? *c : '_';
    return "." + file + ".velorin-save." + tag + "." + std::to_string(pid) + ".0.tmp";
}

TEST_F(MapDocumentTest, ASaveRemovesWhatKilledSavesLeftInItsFolder) {
    const auto document = LoadDataSet(m_folder / "data.gpkg");
    // Process ids above the system's limit belong to no process; the parent of
    // this test runs.
    const std::string dead = TemporaryName("doc.json", 2147483646);
    const std::string deadOther = TemporaryName("other.json", 2147483645);
    const std::string running = TemporaryName("doc.json", ::getppid());
    for (const auto& name : {dead, deadOther, running, std::string(".doc.json.1.2.tmp")}) {
        WriteText(m_folder / name, "{half a document");
    }
    SaveMapDocument(document, m_folder / "doc.json");
    EXPECT_EQ(m_folder.Names(),
              (std::vector<std::string>{".doc.json.1.2.tmp", running, "data.gpkg", "doc.json"}));
}

}  // namespace
}  // namespace velorin::gdal
