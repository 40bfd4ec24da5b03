#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/toolkit.h"

// What velorin-map was asked to do. Parsing never touches the disk or the
// display: it only reads the words, so every mistake is found before anything
// is opened.
namespace velorin::app {

// Exit statuses of every mode.
inline constexpr int kExitFinished = 0;  // the tool finished with its completion message
inline constexpr int kExitStopped = 1;   // refused by the dialog or the tool, or stopped at a pause
inline constexpr int kExitUsage = 2;     // the command line, or names it gives, do not fit
inline constexpr int kExitFailed = 3;  // an error box, or a file that could not be read or written

enum class Tool { ZoomFlash, CopyLegend };

// Which zoom method check boxes are to be checked.
enum class ZoomMethods { Full, Related, Both, None };

// The dialog's controls as a person would set them; unset ones keep what the
// dialog preselected. Numbers stay text: they are typed into the boxes, and the
// dialog judges them as it judges a person's typing.
struct DialogChoices {
    std::optional<std::string> sourceLayer;
    std::optional<std::string> sourceField;
    std::optional<std::string> relatedLayer;
    std::optional<std::string> relatedField;
    std::optional<std::string> sourceFlashTime;   // seconds
    std::optional<std::string> relatedFlashTime;  // seconds
    std::optional<ZoomMethods> methods;
    std::optional<std::string> zoomFactor;
    std::optional<std::string> zoomWidth;  // map units
};

// --select LAYER=OID,OID: the layer's selection before the tool runs.
struct LayerSelection {
    std::string layer;
    std::vector<std::int32_t> oids;
};

// --categorize LAYER=FIELD: a unique value legend on the field before the run.
struct LayerField {
    std::string layer;
    std::string field;
};

// --answer TEXT=ok|cancel: every box whose text contains TEXT gets this answer.
struct BoxAnswer {
    std::string textPart;
    ui::MsgResult answer = ui::MsgResult::Ok;
};

struct EscPlan {
    std::vector<int> beforeCancelCheck;  // counting from 1
    std::vector<int> duringSleep;        // counting from 1
    std::vector<std::string> atStatus;   // parts of status texts
};

// Map window size in pixels for the headless modes.
struct WindowSize {
    int width = 800;
    int height = 600;
};

struct HeadlessOptions {
    std::filesystem::path document;
    Tool tool = Tool::ZoomFlash;
    DialogChoices dialog;
    std::vector<LayerSelection> selections;
    std::vector<LayerField> categorize;
    std::vector<BoxAnswer> answers;
    EscPlan esc;
    std::optional<std::filesystem::path> framesDir;
    std::optional<std::filesystem::path> savePath;
    WindowSize size;
};

struct ScreenshotOptions {
    std::filesystem::path document;
    std::filesystem::path dir;
};

enum class Mode { Help, Version, Window, Headless, Screenshots };

struct CommandLine {
    Mode mode = Mode::Window;
    std::optional<std::filesystem::path> document;  // the window's, when given
    HeadlessOptions headless;
    ScreenshotOptions screenshots;
};

// Either a command line or the reason there is none (one sentence, naming the
// word at fault).
struct ParseResult {
    std::optional<CommandLine> commandLine;
    std::string error;
};

// args: the words after the program's name.
ParseResult ParseCommandLine(std::span<const std::string_view> args);

// What --help prints.
std::string UsageText();

}  // namespace velorin::app
