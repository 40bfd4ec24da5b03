#include "app/headless_run.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

#include "app/frame_recorder.h"
#include "host/object.h"
#include "host/renderers.h"
#include "platform/gdal/map_document.h"
#include "platform/memory/shape_painter.h"
#include "tests/app/sample_folder.h"

namespace velorin::app {
namespace {

struct Ran {
    int status = -1;
    std::string out;
    std::string err;
};

struct Frame {
    std::string file;
    std::string event;
    std::string status;
};

class HeadlessRun : public testing::SampleTest {
  protected:
    Ran Run(std::vector<std::string> words) {
        std::vector<std::string_view> views(words.begin(), words.end());
        const ParseResult parsed = ParseCommandLine(views);
        if (!parsed.commandLine) {
            ADD_FAILURE() << parsed.error;
            return {};
        }
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunHeadless(parsed.commandLine->headless, out, err);
        return {status, out.str(), err.str()};
    }

    // The Zoom and Flash run of the README's main job, over three catchments.
    std::vector<std::string> ZoomFlashWords(std::string sourceTime = "0.01") const {
        return {"--headless",      Document().string(),
                "--tool",          "zoomflash",
                "--select",        "Catchment=7,8,12",
                "--source-layer",  "Catchment",
                "--source-field",  "NerroID",
                "--related-layer", "NerroJunction",
                "--related-field", "NerroID",
                "--source-time",   sourceTime,
                "--related-time",  "0.01",
                "--method",        "both",
                "--zoom-width",    "800",
                "--frames",        Frames().string()};
    }

    std::vector<std::string> CopyLegendWords() const {
        return {"--headless",      Document().string(), "--tool",          "copylegend",
                "--source-layer",  "Catchment",         "--source-field",  "NerroID",
                "--related-layer", "NerroJunction",     "--related-field", "NerroID"};
    }

    std::filesystem::path Frames() const { return Scratch() / "frames"; }

    // frames.csv without its header; the statuses hold no commas or quotes.
    std::vector<Frame> FrameList() const {
        std::ifstream in(Frames() / "frames.csv");
        std::string line;
        std::getline(in, line);
        EXPECT_EQ(line, "frame,file,event,status");
        std::vector<Frame> frames;
        while (std::getline(in, line)) {
            std::vector<std::string> fields;
            std::stringstream split(line);
            std::string field;
            while (std::getline(split, field, ',')) fields.push_back(field);
            if (fields.size() == 3) fields.emplace_back();
            EXPECT_EQ(fields.size(), 4u) << line;
            if (fields.size() != 4) continue;
            EXPECT_EQ(fields[1], FrameRecorder::FileName(static_cast<int>(frames.size()) + 1));
            frames.push_back({fields[1], fields[2], fields[3]});
        }
        return frames;
    }

    QImage FrameImage(const Frame& frame) const {
        return QImage(QString::fromStdString((Frames() / frame.file).string()));
    }
};

std::vector<std::int32_t> VisitedOids(const std::vector<Frame>& frames) {
    std::vector<std::int32_t> oids;
    const std::regex oid("OID = ([0-9]+) ");
    for (const Frame& frame : frames) {
        std::smatch match;
        if (frame.event != "zoom" || !std::regex_search(frame.status, match, oid)) continue;
        const std::int32_t id = std::stoi(match[1]);
        if (oids.empty() || oids.back() != id) oids.push_back(id);
    }
    return oids;
}

// value -> colour (0x00BBGGRR) of a unique value renderer's symbols.
std::map<std::string, std::int32_t> ValueColours(const memory::ReferenceHost& host,
                                                 const std::string& layer) {
    const auto renderer =
        host::As<host::IUniqueValueRenderer>(host.FeatureLayerNamed(layer)->Renderer());
    EXPECT_TRUE(renderer) << layer << " has no unique value renderer";
    std::map<std::string, std::int32_t> colours;
    if (!renderer) return colours;
    for (std::int32_t i = 0; i < renderer->ValueCount(); ++i) {
        const std::string value = renderer->Value(i);
        const auto look = objects::TryReadSymbol(renderer->Symbol(value));
        colours[value] = look ? look->rgb : -1;
    }
    return colours;
}

TEST_F(HeadlessRun, MainJobFlashesTheSelectionWithItsJunctionsThenColoursAndSavesTheJunctions) {
    const Ran zoomFlash = Run(ZoomFlashWords());
    ASSERT_EQ(zoomFlash.status, kExitFinished) << zoomFlash.out << zoomFlash.err;
    EXPECT_NE(zoomFlash.out.find("Finished with Zoom and Flash Operation"), std::string::npos);

    const std::vector<Frame> frames = FrameList();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().event, "open");
    // Only the selected catchments are visited, in their order; each has one
    // junction: a Full Envelope zoom with two flashes, then a Related Envelope
    // zoom with two more.
    EXPECT_EQ(VisitedOids(frames), (std::vector<std::int32_t>{7, 8, 12}));
    const auto count = [&frames](const char* event) {
        return std::count_if(frames.begin(), frames.end(),
                             [event](const Frame& f) { return f.event == event; });
    };
    EXPECT_EQ(count("zoom"), 6);
    EXPECT_EQ(count("flash"), 12);
    for (const Frame& frame : frames) {
        const QImage image = FrameImage(frame);
        EXPECT_EQ(image.size(), QSize(800, 600)) << frame.file;
    }
    // Every flash shows on its frame: it differs from the zoomed map before it.
    for (std::size_t i = 1; i < frames.size(); ++i) {
        if (frames[i].event == "flash" && frames[i - 1].event == "zoom") {
            EXPECT_NE(FrameImage(frames[i]), FrameImage(frames[i - 1])) << frames[i].file;
        }
    }
    // Only frame files are in the folder besides the list.
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Frames())) {
        files += entry.path().extension() == ".png" ? 1 : 0;
    }
    EXPECT_EQ(files, frames.size());

    const std::filesystem::path saved = Scratch() / "coloured.json";
    std::vector<std::string> copyLegend = CopyLegendWords();
    copyLegend.insert(copyLegend.end(), {"--save", saved.string()});
    const Ran colours = Run(copyLegend);
    ASSERT_EQ(colours.status, kExitFinished) << colours.out << colours.err;
    EXPECT_NE(colours.out.find("Finished Copying Legend Colors"), std::string::npos);

    const gdal::MapDocument reloaded = gdal::LoadMapDocument(saved);
    const auto catchments = ValueColours(reloaded.host, "Catchment");
    const auto junctions = ValueColours(reloaded.host, "NerroJunction");
    ASSERT_FALSE(catchments.empty());
    EXPECT_EQ(junctions.size(), catchments.size());
    for (const auto& [value, colour] : catchments) {
        ASSERT_TRUE(junctions.count(value)) << "no junction value " << value;
        EXPECT_EQ(junctions.at(value), colour) << "value " << value;
    }
    const auto junctionRenderer = host::As<host::IUniqueValueRenderer>(
        reloaded.host.FeatureLayerNamed("NerroJunction")->Renderer());
    EXPECT_EQ(junctionRenderer->Field(0), "NerroID");
}

TEST_F(HeadlessRun, ARefusedDialogStopsWithStatusOneAndSavesNothing) {
    const std::filesystem::path saved = Scratch() / "never.json";
    std::vector<std::string> words = ZoomFlashWords("0");
    words.insert(words.end(), {"--save", saved.string()});
    const Ran run = Run(words);
    EXPECT_EQ(run.status, kExitStopped) << run.out << run.err;
    EXPECT_NE(run.out.find("Source feature flash time must be greater than zero"),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(std::filesystem::exists(saved));
    // Nothing was zoomed: the map as opened is the only frame.
    ASSERT_EQ(FrameList().size(), 1u);
}

TEST_F(HeadlessRun, AnErrorBoxEndsWithStatusThree) {
    // A text key against a numeric Related key field: the host cannot search with
    // it, and the run ends in the command's trap.
    const Ran run = Run({"--headless", Document().string(), "--tool", "zoomflash", "--select",
                         "Catchment=1", "--source-layer", "Catchment", "--source-field", "Name",
                         "--related-layer", "NerroJunction", "--related-field", "NerroID"});
    EXPECT_EQ(run.status, kExitFailed) << run.out << run.err;
    EXPECT_NE(run.out.find("message box \"Velorin\" [OK]: Error "), std::string::npos) << run.out;
}

TEST_F(HeadlessRun, CancelAtAPauseStopsWithStatusOneThoughTheToolSaysItFinished) {
    std::vector<std::string> words = ZoomFlashWords();
    words.insert(words.end(), {"--esc-before-check", "1", "--answer", "Paused at=cancel"});
    const Ran run = Run(words);
    EXPECT_EQ(run.status, kExitStopped) << run.out << run.err;
    EXPECT_NE(run.out.find("[OK, Cancel]: Paused at Catchment OID = 7."), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("was stopped at a pause"), std::string::npos) << run.out;
}

TEST_F(HeadlessRun, AnEscAnsweredOkPausesAndGoesOn) {
    std::vector<std::string> words = ZoomFlashWords();
    words.insert(words.end(), {"--esc-during-sleep", "1"});
    const Ran run = Run(words);
    EXPECT_EQ(run.status, kExitFinished) << run.out << run.err;
    EXPECT_NE(run.out.find("Paused at Catchment OID = 7.  Click OK to continue. -> OK"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(VisitedOids(FrameList()), (std::vector<std::int32_t>{7, 8, 12}));
}

TEST_F(HeadlessRun, ARefusalOfTheEngineStopsWithStatusOne) {
    // Copy Legend Colors needs a unique value legend on its Source layer.
    const Ran run = Run({"--headless", Document().string(), "--tool", "copylegend",
                         "--source-layer", "Watershed", "--source-field", "WatershedID",
                         "--related-layer", "Catchment", "--related-field", "WatershedID"});
    EXPECT_EQ(run.status, kExitStopped) << run.out << run.err;
    EXPECT_EQ(run.out.find("Finished Copying Legend Colors"), std::string::npos) << run.out;
}

TEST_F(HeadlessRun, NamesTheDocumentDoesNotHaveAreUsageMistakes) {
    const Ran layer =
        Run({"--headless", Document().string(), "--tool", "zoomflash", "--source-layer", "Rivers"});
    EXPECT_EQ(layer.status, kExitUsage);
    EXPECT_NE(layer.err.find("cboLyr1 has no entry \"Rivers\""), std::string::npos) << layer.err;

    const Ran selection = Run(
        {"--headless", Document().string(), "--tool", "zoomflash", "--select", "Catchment=999"});
    EXPECT_EQ(selection.status, kExitUsage);
    EXPECT_NE(selection.err.find("--select Catchment"), std::string::npos) << selection.err;
}

TEST_F(HeadlessRun, FilesThatCannotBeReadOrWrittenEndWithStatusThree) {
    const Ran missing =
        Run({"--headless", (Scratch() / "none.json").string(), "--tool", "zoomflash"});
    EXPECT_EQ(missing.status, kExitFailed);
    EXPECT_NE(missing.err.find("none.json"), std::string::npos) << missing.err;

    // The save's folder is a file.
    std::ofstream(Scratch() / "plain") << "x";
    std::vector<std::string> words = CopyLegendWords();
    words.insert(words.end(), {"--save", (Scratch() / "plain" / "out.json").string()});
    const Ran save = Run(words);
    EXPECT_EQ(save.status, kExitFailed) << save.out << save.err;
    EXPECT_NE(save.err.find("out.json"), std::string::npos) << save.err;
}

TEST_F(HeadlessRun, EarlierFramesAreReplacedAndOtherFilesKept) {
    std::filesystem::create_directories(Frames());
    std::ofstream(Frames() / "frame-0999.png") << "old";
    std::ofstream(Frames() / "notes.txt") << "mine";
    const Ran run = Run(ZoomFlashWords());
    ASSERT_EQ(run.status, kExitFinished) << run.out << run.err;
    EXPECT_FALSE(std::filesystem::exists(Frames() / "frame-0999.png"));
    EXPECT_TRUE(std::filesystem::exists(Frames() / "notes.txt"));
}

TEST_F(HeadlessRun, ASelectionOfALayerTheMapDoesNotHaveListsItsLayers) {
    const Ran run =
        Run({"--headless", Document().string(), "--tool", "zoomflash", "--select", "catchment=1"});
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_NE(run.err.find("--select catchment: the map has no layer named \"catchment\"; its "
                           "layers: "),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("\"Catchment\""), std::string::npos) << run.err;
}

TEST_F(HeadlessRun, EscAtStatusMatchesPartOfTheTextAndReportsKeysThatNeverMatched) {
    std::vector<std::string> words = ZoomFlashWords();
    words.insert(words.end(), {"--esc-at-status", "OID = 8 ", "--esc-at-status", "OID = 99 "});
    const Ran run = Run(words);
    EXPECT_EQ(run.status, kExitFinished) << run.out << run.err;
    EXPECT_NE(run.out.find("Paused at Catchment OID = 8."), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Paused at Catchment OID = 7."), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("--esc-at-status \"OID = 99 \": no status text contained it"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("OID = 8 "), std::string::npos) << run.err;
}

TEST_F(HeadlessRun, TheMapRunOnIsLeftToTheCallerWhenAsked) {
    std::vector<std::string> words = CopyLegendWords();
    std::vector<std::string_view> views(words.begin(), words.end());
    const ParseResult parsed = ParseCommandLine(views);
    ASSERT_TRUE(parsed.commandLine) << parsed.error;
    std::optional<gdal::MapDocument> opened;
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunHeadless(parsed.commandLine->headless, out, err, &opened), kExitFinished)
        << out.str() << err.str();
    ASSERT_TRUE(opened.has_value());
    // The tool's work is in it: the junctions are drawn by the copied legend.
    EXPECT_FALSE(ValueColours(opened->host, "NerroJunction").empty());
}

TEST_F(HeadlessRun, TheSavePathIsCheckedBeforeTheRun) {
    std::ofstream(Scratch() / "notes.txt") << "mine";
    const struct {
        std::filesystem::path path;
        std::string reason;
    } cases[] = {
        {Scratch() / "gone" / "out.json", "does not exist"},
        {Document().parent_path() / "hydrology.gpkg", "it is a data set this map reads"},
        {Scratch() / "notes.txt", "it is not a map document"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        const bool existed = std::filesystem::exists(c.path);
        const auto size = existed ? std::filesystem::file_size(c.path) : 0;
        std::vector<std::string> words = CopyLegendWords();
        words.insert(words.end(), {"--save", c.path.string()});
        const Ran run = Run(words);
        EXPECT_EQ(run.status, kExitFailed) << run.out << run.err;
        EXPECT_NE(run.err.find(c.path.generic_string() + ": cannot be saved: "), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        // The tool never ran.
        EXPECT_EQ(run.out.find("Copy Legend Colors on"), std::string::npos) << run.out;
        EXPECT_EQ(std::filesystem::exists(c.path), existed);
        if (existed) {
            EXPECT_EQ(std::filesystem::file_size(c.path), size);
        }
    }
}

}  // namespace
}  // namespace velorin::app
