// Numbers as a person types and reads them: the locale-free form of ui/numbers
// (the scripted user's) and the Qt toolkit's, in the user's locale, across locales
// that write numbers differently. The first byte picks the locale and whether the
// rest is typed text or the bits of a double. Promises checked, for each form:
//   - a typed text gives no number or a finite one;
//   - what a box shows reads back, and shows the same again (a remembered value
//     accepted unchanged runs as it was);
//   - a shown number keeps 15 significant digits of the value.
#include <QApplication>
#include <QByteArray>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "platform/qt/qt_toolkit.h"
#include "ui/numbers.h"

namespace velorin::fuzz {
namespace {

constexpr std::array<const char*, 8> kLocales = {"C",     "en_US", "de_DE", "fr_FR",
                                                 "ar_EG", "hi_IN", "sv_SE", "de_CH"};

struct NumberForm {
    std::function<std::optional<double>(std::string_view)> parse;
    std::function<std::string(double)> format;
};

void CheckTyped(const NumberForm& form, std::string_view text) {
    const auto value = form.parse(text);
    if (!value) return;
    Require(std::isfinite(*value), "a typed number is finite");
    const std::string shown = form.format(*value);
    const auto again = form.parse(shown);
    Require(again.has_value(), "a shown number reads back");
    Require(form.format(*again) == shown, "a shown number shows the same again");
}

void CheckShown(const NumberForm& form, double value) {
    if (!std::isfinite(value)) return;
    const std::string shown = form.format(value);
    const auto back = form.parse(shown);
    Require(back.has_value(), "a shown number reads back");
    Require(std::fabs(*back - value) <= std::fabs(value) * 1e-14,
            "a shown number keeps 15 significant digits");
    Require(form.format(*back) == shown, "a shown number shows the same again");
}

qt::QtToolkit& Toolkit() {
    static int argc = 1;
    static char name[] = "fuzz_numbers";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
        }
        return new QApplication(argc, argv);
    }();
    static qt::QtToolkit toolkit;
    (void)application;
    return toolkit;
}

}  // namespace
}  // namespace velorin::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velorin::fuzz::Toolkit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velorin::fuzz;
    if (size == 0) return 0;
    QLocale::setDefault(QLocale(QString::fromLatin1(kLocales[(data[0] >> 1) % kLocales.size()])));
    const NumberForm cForm{velorin::ui::ParseCNumber, velorin::ui::FormatGeneral15};
    velorin::qt::QtToolkit& toolkit = Toolkit();
    const NumberForm localeForm{[&](std::string_view text) { return toolkit.ParseNumber(text); },
                                [&](double value) { return toolkit.FormatNumber(value); }};
    if ((data[0] & 1) == 0) {
        const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
        CheckTyped(cForm, text);
        CheckTyped(localeForm, text);
    } else {
        double value = 0.0;
        std::memcpy(&value, data + 1, std::min(size - 1, sizeof value));
        CheckShown(cForm, value);
        CheckShown(localeForm, value);
    }
    return 0;
}
