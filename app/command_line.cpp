#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <functional>

namespace velorin::app {

namespace {

// Where an option may be used.
enum class Scope { Any, Headless, ZoomFlash };

struct State {
    CommandLine line;
    bool headless = false;
    bool screenshots = false;
    std::optional<Tool> tool;
    std::vector<std::string> positional;
    // Options given, for the checks that need the whole line.
    std::vector<std::pair<std::string_view, Scope>> given;
};

// A failure of one word; the parser reports it as it is.
struct Refusal {
    std::string message;
};

[[noreturn]] void Refuse(std::string message) { throw Refusal{std::move(message)}; }

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return lower;
}

// A whole number from lowest to highest, nothing else in the text.
std::optional<std::int64_t> WholeNumber(std::string_view text, std::int64_t lowest,
                                        std::int64_t highest) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < lowest || value > highest) {
        return std::nullopt;
    }
    return value;
}

int Count(std::string_view option, std::string_view value) {
    const auto n = WholeNumber(value, 1, 1'000'000'000);
    if (!n) {
        Refuse("option " + std::string(option) + " wants a whole number of at least 1, not \"" +
               std::string(value) + "\"");
    }
    return static_cast<int>(*n);
}

std::string NonEmpty(std::string_view option, std::string_view value) {
    if (value.empty()) Refuse("option " + std::string(option) + " needs a value");
    return std::string(value);
}

LayerSelection ParseSelection(std::string_view value) {
    const std::size_t equals = value.rfind('=');
    if (equals == std::string_view::npos || equals == 0) {
        Refuse("option --select wants LAYER=OID,OID,..., not \"" + std::string(value) + "\"");
    }
    LayerSelection selection{std::string(value.substr(0, equals)), {}};
    std::string_view ids = value.substr(equals + 1);
    while (true) {
        const std::size_t comma = ids.find(',');
        const std::string_view id = ids.substr(0, comma);
        const auto oid = WholeNumber(id, 1, INT32_MAX);
        if (!oid) {
            Refuse("option --select: \"" + std::string(id) + "\" is not an object id (1 to " +
                   std::to_string(INT32_MAX) + ")");
        }
        selection.oids.push_back(static_cast<std::int32_t>(*oid));
        if (comma == std::string_view::npos) break;
        ids.remove_prefix(comma + 1);
    }
    return selection;
}

LayerField ParseLayerField(std::string_view value) {
    const std::size_t equals = value.rfind('=');
    if (equals == std::string_view::npos || equals == 0 || equals + 1 == value.size()) {
        Refuse("option --categorize wants LAYER=FIELD, not \"" + std::string(value) + "\"");
    }
    return LayerField{std::string(value.substr(0, equals)), std::string(value.substr(equals + 1))};
}

BoxAnswer ParseAnswer(std::string_view value) {
    const std::size_t equals = value.rfind('=');
    const std::string answer =
        equals == std::string_view::npos ? std::string() : Lower(value.substr(equals + 1));
    if (equals == std::string_view::npos || equals == 0 || (answer != "ok" && answer != "cancel")) {
        Refuse("option --answer wants TEXT=ok or TEXT=cancel, not \"" + std::string(value) + "\"");
    }
    return BoxAnswer{std::string(value.substr(0, equals)),
                     answer == "ok" ? ui::MsgResult::Ok : ui::MsgResult::Cancel};
}

WindowSize ParseSize(std::string_view value) {
    const std::size_t x = value.find('x');
    const auto refuse = [&] {
        Refuse("option --size wants WIDTHxHEIGHT in pixels, 16 to 4096 each, not \"" +
               std::string(value) + "\"");
    };
    if (x == std::string_view::npos) refuse();
    const auto width = WholeNumber(value.substr(0, x), 16, 4096);
    const auto height = WholeNumber(value.substr(x + 1), 16, 4096);
    if (!width || !height) refuse();
    return WindowSize{static_cast<int>(*width), static_cast<int>(*height)};
}

Tool ParseTool(std::string_view value) {
    const std::string tool = Lower(value);
    if (tool == "zoomflash") return Tool::ZoomFlash;
    if (tool == "copylegend") return Tool::CopyLegend;
    Refuse("option --tool wants zoomflash or copylegend, not \"" + std::string(value) + "\"");
}

ZoomMethods ParseMethods(std::string_view value) {
    const std::string methods = Lower(value);
    if (methods == "full") return ZoomMethods::Full;
    if (methods == "related") return ZoomMethods::Related;
    if (methods == "both") return ZoomMethods::Both;
    if (methods == "none") return ZoomMethods::None;
    Refuse("option --method wants full, related, both or none, not \"" + std::string(value) + "\"");
}

// An option of one value stated at most once.
template <class T>
void SetOnce(std::optional<T>& slot, std::string_view option, T value) {
    if (slot) Refuse("option " + std::string(option) + " is given twice");
    slot = std::move(value);
}

// Every option takes exactly one value, the next word.
struct Option {
    std::string_view name;
    Scope scope;
    std::function<void(State&, std::string_view option, std::string_view value)> apply;
};

// A dialog control set from the option's text as typed, stated at most once.
Option DialogText(std::string_view name, Scope scope,
                  std::optional<std::string> DialogChoices::*control) {
    return {name, scope, [control](State& s, std::string_view o, std::string_view v) {
                SetOnce(s.line.headless.dialog.*control, o, std::string(v));
            }};
}

const std::vector<Option>& Options() {
    static const std::vector<Option> options = {
        {"--headless", Scope::Any,
         [](State& s, std::string_view o, std::string_view v) {
             if (s.headless) Refuse("option --headless is given twice");
             s.headless = true;
             s.line.headless.document = NonEmpty(o, v);
         }},
        {"--screenshots", Scope::Any,
         [](State& s, std::string_view o, std::string_view v) {
             if (s.screenshots) Refuse("option --screenshots is given twice");
             s.screenshots = true;
             s.line.screenshots.dir = NonEmpty(o, v);
         }},
        {"--tool", Scope::Headless,
         [](State& s, std::string_view o, std::string_view v) {
             SetOnce(s.tool, o, ParseTool(v));
         }},
        // The document's contents.
        {"--select", Scope::Headless,
         [](State& s, std::string_view, std::string_view v) {
             s.line.headless.selections.push_back(ParseSelection(v));
         }},
        {"--categorize", Scope::Headless,
         [](State& s, std::string_view, std::string_view v) {
             s.line.headless.categorize.push_back(ParseLayerField(v));
         }},
        // Dialog controls.
        DialogText("--source-layer", Scope::Headless, &DialogChoices::sourceLayer),
        DialogText("--source-field", Scope::Headless, &DialogChoices::sourceField),
        DialogText("--related-layer", Scope::Headless, &DialogChoices::relatedLayer),
        DialogText("--related-field", Scope::Headless, &DialogChoices::relatedField),
        DialogText("--source-time", Scope::ZoomFlash, &DialogChoices::sourceFlashTime),
        DialogText("--related-time", Scope::ZoomFlash, &DialogChoices::relatedFlashTime),
        {"--method", Scope::ZoomFlash,
         [](State& s, std::string_view o, std::string_view v) {
             SetOnce(s.line.headless.dialog.methods, o, ParseMethods(v));
         }},
        DialogText("--zoom-factor", Scope::ZoomFlash, &DialogChoices::zoomFactor),
        DialogText("--zoom-width", Scope::ZoomFlash, &DialogChoices::zoomWidth),
        // The person at the keyboard.
        {"--answer", Scope::Headless,
         [](State& s, std::string_view, std::string_view v) {
             s.line.headless.answers.push_back(ParseAnswer(v));
         }},
        {"--esc-before-check", Scope::Headless,
         [](State& s, std::string_view o, std::string_view v) {
             s.line.headless.esc.beforeCancelCheck.push_back(Count(o, v));
         }},
        {"--esc-during-sleep", Scope::Headless,
         [](State& s, std::string_view o, std::string_view v) {
             s.line.headless.esc.duringSleep.push_back(Count(o, v));
         }},
        {"--esc-at-status", Scope::Headless,
         [](State& s, std::string_view o, std::string_view v) {
             s.line.headless.esc.atStatus.push_back(NonEmpty(o, v));
         }},
        // Output.
        {"--frames", Scope::Headless,
         [](State& s, std::string_view o, std::string_view v) {
             SetOnce(s.line.headless.framesDir, o, std::filesystem::path(NonEmpty(o, v)));
         }},
        {"--save", Scope::Headless,
         [](State& s, std::string_view o, std::string_view v) {
             SetOnce(s.line.headless.savePath, o, std::filesystem::path(NonEmpty(o, v)));
         }},
        {"--size", Scope::Headless,
         [](State& s, std::string_view, std::string_view v) {
             s.line.headless.size = ParseSize(v);
         }},
    };
    return options;
}

const Option* FindOption(std::string_view name) {
    for (const Option& option : Options()) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

void CheckWhole(State& state) {
    if (state.headless && state.screenshots) {
        Refuse("options --headless and --screenshots cannot be used together");
    }
    for (const auto& [option, scope] : state.given) {
        if (scope != Scope::Any && !state.headless) {
            Refuse("option " + std::string(option) + " is only for --headless");
        }
        if (scope == Scope::ZoomFlash && state.tool == Tool::CopyLegend) {
            Refuse("option " + std::string(option) + " is only for --tool zoomflash");
        }
    }
    CommandLine& line = state.line;
    if (state.headless) {
        if (!state.tool) Refuse("option --headless needs --tool zoomflash or --tool copylegend");
        if (!state.positional.empty()) {
            Refuse("unexpected argument \"" + state.positional.front() +
                   "\": the document is the value of --headless");
        }
        line.mode = Mode::Headless;
        line.headless.tool = *state.tool;
    } else if (state.screenshots) {
        if (state.positional.size() != 1) {
            Refuse(state.positional.empty()
                       ? "option --screenshots needs the DOCUMENT to show"
                       : "unexpected argument \"" + state.positional[1] + "\"");
        }
        line.mode = Mode::Screenshots;
        line.screenshots.document = state.positional.front();
    } else {
        if (state.positional.size() > 1) {
            Refuse("unexpected argument \"" + state.positional[1] +
                   "\": the window opens one document");
        }
        line.mode = Mode::Window;
        if (!state.positional.empty()) line.document = state.positional.front();
    }
}

}  // namespace

ParseResult ParseCommandLine(std::span<const std::string_view> args) {
    State state;
    try {
        bool optionsEnded = false;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string_view word = args[i];
            if (optionsEnded || word.size() < 2 || word[0] != '-') {
                if (word.empty()) Refuse("an empty argument is not a document");
                state.positional.emplace_back(word);
                continue;
            }
            if (word == "--") {
                optionsEnded = true;
                continue;
            }
            if (word == "-h" || word == "--help") {
                CommandLine help;
                help.mode = Mode::Help;
                return {help, {}};
            }
            if (word == "--version") {
                CommandLine version;
                version.mode = Mode::Version;
                return {version, {}};
            }
            const std::size_t equals = word.find('=');
            const std::string_view name = word.substr(0, equals);
            const Option* option = FindOption(name);
            if (option == nullptr) {
                Refuse("unknown option " + std::string(name) + " (see --help)");
            }
            std::string_view value;
            if (equals != std::string_view::npos) {
                value = word.substr(equals + 1);
            } else {
                // A following option is never taken for a missing value: "--frames
                // --save x" is a mistake, not a folder called "--save".
                if (i + 1 >= args.size() || args[i + 1].starts_with("--")) {
                    Refuse("option " + std::string(name) + " needs a value");
                }
                value = args[++i];
            }
            option->apply(state, option->name, value);
            state.given.emplace_back(option->name, option->scope);
        }
        CheckWhole(state);
    } catch (const Refusal& refusal) {
        return {std::nullopt, refusal.message};
    }
    return {std::move(state.line), {}};
}

std::string UsageText() {
    return R"(Usage:
  velorin-map [DOCUMENT]
  velorin-map --headless DOCUMENT --tool zoomflash|copylegend [OPTIONS]
  velorin-map --screenshots DIR DOCUMENT

With no option, opens the map window on DOCUMENT: a map document (.json, see
docs/map-document.md) or any vector data set GDAL reads (GeoPackage, Shapefile,
GeoJSON, ...). The window needs a display.

--headless runs one tool on DOCUMENT with no display: its dialog is shown to a
scripted user who sets the controls from the options below and presses OK.
Every message box is printed as it comes and answered OK unless --answer says
otherwise.

Choosing the document's contents:
  --select LAYER=OID,OID,...  select these features of LAYER before the run
                              (repeatable); Zoom and Flash visits a selection
  --categorize LAYER=FIELD    give LAYER a unique value legend on FIELD, each
                              value in a colour of its own (repeatable), so
                              Copy Legend Colors can run on any data set
Dialog controls (unset ones keep what the dialog preselects):
  --source-layer NAME         Source layer list
  --source-field NAME         Source key field list ("<None>" for none)
  --related-layer NAME        Related layer list ("<None>" for none)
  --related-field NAME        Related key field list ("<None>" for none)
  --source-time SECONDS       Source flash time, typed as text    (zoomflash)
  --related-time SECONDS      Related flash time, typed as text   (zoomflash)
  --method full|related|both|none
                              zoom method check boxes             (zoomflash)
  --zoom-factor N             Full Envelope zoom factor           (zoomflash)
  --zoom-width N              Related Envelope width, map units   (zoomflash)
The person at the keyboard:
  --answer TEXT=ok|cancel     answer every box whose text contains TEXT
                              (repeatable; the first that fits wins)
  --esc-before-check N        press Esc just before the N-th cancel check
  --esc-during-sleep N        press Esc during the N-th flash wait
  --esc-at-status TEXT        press Esc the first time the status bar shows a
                              text containing TEXT (a TEXT that never shows is
                              reported at the end; all three repeatable)
Output:
  --frames DIR                write a PNG frame of the map at the start, after
                              every zoom or redraw and during every flash, and
                              DIR/frames.csv listing them with the status text
                              (earlier frame-*.png files in DIR are replaced)
  --save PATH                 save the map document to PATH when the tool
                              finished (a failed save leaves PATH as it was);
                              PATH is checked before the run: its folder must
                              be writable, and it may only replace a map
                              document, never a data set or another file
  --size WIDTHxHEIGHT         map window in pixels (default 800x600)
Flash waits do not really wait: the scripted user's clock is virtual.

--screenshots writes the pictures of docs/ into DIR: both dialogs, the help
window, the map window during a flash, the junctions after Copy Legend Colors,
the symbology dialog, the window with the Identify panel and the attribute
table, made on DOCUMENT (the sample's hydrology.json).

  -h, --help                  show this text
  --version                   show the version

Exit status: 0 the tool finished with its completion message; 1 the dialog or
the tool refused the values, or the run was stopped at a pause; 2 a mistake in
the command line or a name the document does not have; 3 an error box, or a
file that could not be read or written.
)";
}

}  // namespace velorin::app
