#include "platform/qt/application_look.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QString>
#include <algorithm>
#include <cmath>

// Resources of a static library are registered by an initialiser the linker may
// drop; naming it once here keeps it. Q_INIT_RESOURCE must be used outside any
// namespace.
static void InitialiseVelorinResources() { Q_INIT_RESOURCE(velorin_qt); }

namespace velorin::qt {

namespace {

// QWIDGETSIZE_MAX; a layout or a Move beyond it would trip Qt's own checks.
constexpr std::int64_t kPixelLimit = (std::int64_t{1} << 24) - 1;

}  // namespace

int TwipsToPixels(std::int64_t twips) {
    const std::int64_t half = kTwipsPerPixel / 2;
    const std::int64_t pixels =
        twips >= 0 ? (twips + half) / kTwipsPerPixel : -((-twips + half) / kTwipsPerPixel);
    return static_cast<int>(std::clamp(pixels, -kPixelLimit, kPixelLimit));
}

int TwipsToPixels(std::int64_t twips, double scale) {
    // A twip count is whole, so twips / 15 is never a half: rounding the scaled
    // quotient gives, at a scale of 1, what the whole-number rounding gives.
    const double pixels = static_cast<double>(twips) * scale / kTwipsPerPixel;
    const auto limit = static_cast<double>(kPixelLimit);
    return static_cast<int>(std::llround(std::clamp(pixels, -limit, limit)));
}

QFont DialogFont() {
    constexpr int kPixelSize = 11;
    constexpr int kStretchPercent = 83;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kPixelSize);
    font.setStretch(kStretchPercent);
    return font;
}

QIcon WindowIcon() {
    InitialiseVelorinResources();
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        icon.addFile(WindowIconFile(size), QSize(size, size));
    }
    return icon;
}

QString WindowIconFile(int size) {
    return QStringLiteral(":/velorin/window_icon_%1.png").arg(size);
}

void PrepareApplication() {
    QApplication::setFont(DialogFont());
    QApplication::setWindowIcon(WindowIcon());
}

}  // namespace velorin::qt
