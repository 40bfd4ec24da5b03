#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velorin::app {
namespace {

ParseResult Parse(std::vector<std::string_view> words) { return ParseCommandLine(words); }

struct Mistake {
    std::vector<std::string_view> words;
    std::string message;  // a part of the complaint
};

void PrintTo(const Mistake& mistake, std::ostream* os) { *os << mistake.message; }

class CommandLineMistake : public ::testing::TestWithParam<Mistake> {};

TEST_P(CommandLineMistake, IsRefusedWithAMessageNamingTheWord) {
    const ParseResult result = Parse(GetParam().words);
    EXPECT_FALSE(result.commandLine);
    EXPECT_NE(result.error.find(GetParam().message), std::string::npos) << result.error;
}

#define HEADLESS "--headless", "m.json", "--tool", "zoomflash"

INSTANTIATE_TEST_SUITE_P(
    Words, CommandLineMistake,
    ::testing::Values(
        Mistake{{"--bogus"}, "unknown option --bogus"}, Mistake{{"-x"}, "unknown option -x"},
        Mistake{{"--headless"}, "option --headless needs a value"},
        Mistake{{"--headless", "m.json"}, "needs --tool zoomflash or --tool copylegend"},
        Mistake{{"--headless", "m.json", "--tool"}, "option --tool needs a value"},
        Mistake{{"--headless", "m.json", "--tool", "zoom"}, "wants zoomflash or copylegend"},
        Mistake{{HEADLESS, "--frames", "--save", "x.json"}, "option --frames needs a value"},
        Mistake{{HEADLESS, "--frames="}, "option --frames needs a value"},
        Mistake{{"--tool", "zoomflash"}, "option --tool is only for --headless"},
        Mistake{{"m.json", "--save", "x.json"}, "option --save is only for --headless"},
        Mistake{{"--headless", "m.json", "--tool", "copylegend", "--source-time", "1"},
                "option --source-time is only for --tool zoomflash"},
        Mistake{{HEADLESS, "--select", "Catchment"}, "wants LAYER=OID,OID"},
        Mistake{{HEADLESS, "--select", "=3"}, "wants LAYER=OID,OID"},
        Mistake{{HEADLESS, "--select", "Catchment=3,x"}, "\"x\" is not an object id"},
        Mistake{{HEADLESS, "--select", "Catchment=3,"}, "\"\" is not an object id"},
        Mistake{{HEADLESS, "--select", "Catchment=0"}, "\"0\" is not an object id"},
        Mistake{{HEADLESS, "--select", "Catchment=2147483648"}, "is not an object id"},
        Mistake{{HEADLESS, "--answer", "Paused=maybe"}, "wants TEXT=ok or TEXT=cancel"},
        Mistake{{HEADLESS, "--answer", "Paused"}, "wants TEXT=ok or TEXT=cancel"},
        Mistake{{HEADLESS, "--esc-before-check", "0"}, "whole number of at least 1"},
        Mistake{{HEADLESS, "--esc-during-sleep", "2.5"}, "whole number of at least 1"},
        Mistake{{HEADLESS, "--method", "diagonal"}, "wants full, related, both or none"},
        Mistake{{HEADLESS, "--size", "800"}, "wants WIDTHxHEIGHT"},
        Mistake{{HEADLESS, "--size", "10x10"}, "wants WIDTHxHEIGHT"},
        Mistake{{HEADLESS, "--size", "800x-600"}, "wants WIDTHxHEIGHT"},
        Mistake{{HEADLESS, "--tool", "copylegend"}, "option --tool is given twice"},
        Mistake{{HEADLESS, "--source-layer", "A", "--source-layer", "B"},
                "option --source-layer is given twice"},
        Mistake{{"a.json", "b.json"}, "unexpected argument \"b.json\""},
        Mistake{{HEADLESS, "extra.json"}, "unexpected argument \"extra.json\""},
        Mistake{{"--screenshots", "docs"}, "needs the DOCUMENT"},
        Mistake{{"--screenshots", "docs", "--headless", "m.json", "x.json"},
                "cannot be used together"},
        Mistake{{""}, "empty argument"}));

TEST(CommandLine, HeadlessOptionsAreKeptAsGivenWithNumbersAsTypedText) {
    const ParseResult result = Parse({"--headless",
                                      "out/sample/hydrology.json",
                                      "--tool",
                                      "ZoomFlash",
                                      "--select",
                                      "Catchment=7,8,12",
                                      "--select",
                                      "Water=body=3",
                                      "--source-layer",
                                      "Catchment",
                                      "--source-field=NerroID",
                                      "--related-layer",
                                      "NerroJunction",
                                      "--related-field",
                                      "<None>",
                                      "--source-time",
                                      "0.010",
                                      "--related-time",
                                      "-1",
                                      "--method",
                                      "both",
                                      "--zoom-factor",
                                      "1.7",
                                      "--zoom-width",
                                      "800",
                                      "--answer",
                                      "Paused at=Cancel",
                                      "--answer",
                                      "a=b=ok",
                                      "--esc-before-check",
                                      "3",
                                      "--esc-during-sleep",
                                      "2",
                                      "--esc-at-status",
                                      "Zooming to Source Feature OID = 8 ..Hit Esc to Pause",
                                      "--frames",
                                      "out/frames",
                                      "--save",
                                      "out/result.json",
                                      "--size",
                                      "640x480"});
    ASSERT_TRUE(result.commandLine) << result.error;
    const CommandLine& line = *result.commandLine;
    ASSERT_EQ(line.mode, Mode::Headless);
    const HeadlessOptions& o = line.headless;
    EXPECT_EQ(o.document, "out/sample/hydrology.json");
    EXPECT_EQ(o.tool, Tool::ZoomFlash);
    ASSERT_EQ(o.selections.size(), 2u);
    EXPECT_EQ(o.selections[0].layer, "Catchment");
    EXPECT_EQ(o.selections[0].oids, (std::vector<std::int32_t>{7, 8, 12}));
    EXPECT_EQ(o.selections[1].layer, "Water=body");
    EXPECT_EQ(o.dialog.sourceField, "NerroID");
    EXPECT_EQ(o.dialog.relatedField, "<None>");
    EXPECT_EQ(o.dialog.sourceFlashTime, "0.010");
    EXPECT_EQ(o.dialog.relatedFlashTime, "-1");
    EXPECT_EQ(o.dialog.methods, ZoomMethods::Both);
    ASSERT_EQ(o.answers.size(), 2u);
    EXPECT_EQ(o.answers[0].textPart, "Paused at");
    EXPECT_EQ(o.answers[0].answer, ui::MsgResult::Cancel);
    EXPECT_EQ(o.answers[1].textPart, "a=b");
    EXPECT_EQ(o.esc.beforeCancelCheck, std::vector<int>{3});
    EXPECT_EQ(o.esc.duringSleep, std::vector<int>{2});
    ASSERT_EQ(o.esc.atStatus.size(), 1u);
    EXPECT_EQ(o.framesDir, std::filesystem::path("out/frames"));
    EXPECT_EQ(o.savePath, std::filesystem::path("out/result.json"));
    EXPECT_EQ(o.size.width, 640);
    EXPECT_EQ(o.size.height, 480);
}

TEST(CommandLine, ModesAndTheirDocuments) {
    EXPECT_EQ(Parse({}).commandLine->mode, Mode::Window);
    EXPECT_FALSE(Parse({}).commandLine->document);

    const ParseResult window = Parse({"--", "-odd name.json"});
    ASSERT_TRUE(window.commandLine) << window.error;
    EXPECT_EQ(window.commandLine->document, std::filesystem::path("-odd name.json"));

    const ParseResult shots = Parse({"--screenshots", "docs", "out/sample/hydrology.json"});
    ASSERT_TRUE(shots.commandLine) << shots.error;
    EXPECT_EQ(shots.commandLine->mode, Mode::Screenshots);
    EXPECT_EQ(shots.commandLine->screenshots.dir, "docs");
    EXPECT_EQ(shots.commandLine->screenshots.document, "out/sample/hydrology.json");

    // Help is asked for wherever it stands, even in a line that is not finished.
    EXPECT_EQ(Parse({"--headless", "m.json", "--help"}).commandLine->mode, Mode::Help);
    EXPECT_EQ(Parse({"-h"}).commandLine->mode, Mode::Help);
    EXPECT_EQ(Parse({"--version"}).commandLine->mode, Mode::Version);
}

TEST(CommandLine, UsageNamesEveryOption) {
    const std::string usage = UsageText();
    for (const char* option : {"--headless",
                               "--tool",
                               "--select",
                               "--source-layer",
                               "--source-field",
                               "--related-layer",
                               "--related-field",
                               "--source-time",
                               "--related-time",
                               "--method",
                               "--zoom-factor",
                               "--zoom-width",
                               "--answer",
                               "--esc-before-check",
                               "--esc-during-sleep",
                               "--esc-at-status",
                               "--frames",
                               "--save",
                               "--size",
                               "--screenshots",
                               "--help",
                               "--version"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
        // And the parser knows each one: none is refused as unknown.
        const ParseResult result = Parse({option});
        EXPECT_EQ(result.error.find("unknown option"), std::string::npos) << option;
    }
}

}  // namespace
}  // namespace velorin::app
