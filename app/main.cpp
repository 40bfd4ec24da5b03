// velorin-map: the map window, or a tool run with no display (see --help).
#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/headless_run.h"
#include "app/main_window.h"
#include "app/screenshots.h"
#include "host/error.h"
#include "platform/qt/application_look.h"
#include "platform/qt/qt_toolkit.h"
#include "ui/current_toolkit.h"

namespace {

QtMessageHandler g_defaultHandler = nullptr;

// A machine with no session (a fresh server, CI) has no runtime folder, and the
// offscreen platform cannot do everything a window system does; Qt says so on
// every start. A batch run's output is for its own lines.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const bool chatter = message.startsWith(QStringLiteral("QStandardPaths:")) ||
                         message.startsWith(QStringLiteral("This plugin does not support"));
    if (type != QtCriticalMsg && type != QtFatalMsg && chatter) {
        return;
    }
    if (g_defaultHandler != nullptr) g_defaultHandler(type, context, message);
}

// Whether the leak checker looks at the heap when the process ends: it then must
// end the ordinary way, with everything taken apart.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool LeaksChecked = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool LeaksChecked = true;
#else
constexpr bool LeaksChecked = false;
#endif
#else
constexpr bool LeaksChecked = false;
#endif

// Ends a batch run whose work is done and written: the map it leaves (a legend of
// a hundred thousand values, a million rows) would take a noticeable part of the
// run to take apart for nothing. Returns only when the process must end the
// ordinary way.
void EndBatchRun(int status) {
    if constexpr (LeaksChecked) return;
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}

bool HasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace velorin::app;
    std::vector<std::string_view> words(argv + 1, argv + argc);
    const ParseResult parsed = ParseCommandLine(words);
    if (!parsed.commandLine) {
        std::cerr << "velorin-map: " << parsed.error << "\n";
        return kExitUsage;
    }
    const CommandLine& line = *parsed.commandLine;
    if (line.mode == Mode::Help) {
        std::cout << UsageText();
        return kExitFinished;
    }
    if (line.mode == Mode::Version) {
        std::cout << "velorin-map " VELORIN_VERSION "\n";
        return kExitFinished;
    }

    // The batch modes need no display at all; the window needs one, and with none
    // it would wait for a person who can never see it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        if (line.mode != Mode::Window) {
            qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
            g_defaultHandler = qInstallMessageHandler(QuietMessages);
        } else if (!HasDisplay()) {
            std::cerr << "velorin-map: there is no display to open the window on; run a tool "
                         "with --headless (see --help)\n";
            return kExitFailed;
        }
    }

    try {
        QApplication application(argc, argv);
        velorin::qt::PrepareApplication();
        if (line.mode == Mode::Headless) {
            std::optional<velorin::gdal::MapDocument> opened;
            const int status = RunHeadless(line.headless, std::cout, std::cerr, &opened);
            EndBatchRun(status);
            return status;
        }
        if (line.mode == Mode::Screenshots) {
            return MakeScreenshots(line.screenshots, std::cout, std::cerr);
        }
        velorin::qt::QtToolkit toolkit;
        const velorin::ui::ToolkitScope scope(toolkit);
        MainWindow window([&toolkit] { return toolkit.TakeEscPress(); });
        window.show();
        // A document that cannot be opened is reported in a box; the window stays
        // open on its empty map.
        if (line.document) window.Open(*line.document);
        return QApplication::exec();
    } catch (const velorin::Error& error) {
        std::cerr << "velorin-map: " << error.Description() << "\n";
    } catch (const std::exception& error) {
        std::cerr << "velorin-map: internal error: " << error.what() << "\n";
    }
    return kExitFailed;
}
