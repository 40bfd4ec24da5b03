#include "platform/qt/application_look.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QString>
#include <algorithm>

// Resources of a static library are registered by an initialiser the linker may
// drop; naming it once here keeps it. Q_INIT_RESOURCE must be used outside any
// namespace.
static void InitialiseVelorinResources() { Q_INIT_RESOURCE(velorin_qt); }

namespace velorin::qt {

int TwipsToPixels(std::int64_t twips) {
    // QWIDGETSIZE_MAX; a layout or a Move beyond it would trip Qt's own checks.
    constexpr std::int64_t kLimit = (std::int64_t{1} << 24) - 1;
    const std::int64_t half = kTwipsPerPixel / 2;
    const std::int64_t pixels =
        twips >= 0 ? (twips + half) / kTwipsPerPixel : -((-twips + half) / kTwipsPerPixel);
    return static_cast<int>(std::clamp(pixels, -kLimit, kLimit));
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
