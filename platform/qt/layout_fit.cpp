#include "platform/qt/layout_fit.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>
#include <algorithm>

#include "platform/qt/application_look.h"

namespace velorin::qt {

namespace {

// QLineEdit keeps its text this far inside its contents rectangle, across and
// down (its private horizontal and vertical margins).
constexpr int kLineEditMarginAcross = 2;
constexpr int kLineEditMarginDown = 1;

// `have` grown by what `room` lacks for `text`.
QSize Grown(QSize have, const QRect& room, QSize text) {
    return {have.width() + std::max(0, text.width() - room.width()),
            have.height() + std::max(0, text.height() - room.height())};
}

QSize TextSize(const QFontMetrics& metrics, const QString& text) {
    return {metrics.horizontalAdvance(text), metrics.height()};
}

QRect CheckBoxText(QCheckBox& check) {
    QStyleOptionButton option;
    option.initFrom(&check);
    option.text = check.text();
    return check.style()->subElementRect(QStyle::SE_CheckBoxContents, &option, &check);
}

QRect ButtonContents(QPushButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    if (button.isDefault()) {
        option.features |= QStyleOptionButton::DefaultButton;
    }
    return button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
}

QRect FrameTitle(QGroupBox& frame) {
    QStyleOptionGroupBox option;
    option.initFrom(&frame);
    option.text = frame.title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    return frame.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                         &frame);
}

QRect LineEditText(QLineEdit& edit) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.hasFrame()
                           ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit)
                           : 0;
    return edit.style()
        ->subElementRect(QStyle::SE_LineEditContents, &option, &edit)
        .marginsRemoved(edit.textMargins())
        .adjusted(kLineEditMarginAcross, kLineEditMarginDown, -kLineEditMarginAcross,
                  -kLineEditMarginDown);
}

}  // namespace

namespace {

enum class Side { None, Right, Left, Bottom, Top };

bool Empty(const TwipRect& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

// The side of `cut` where `other` reaches in, among those whose cut leaves the
// most of `cut`.
Side BestCut(const TwipRect& cut, const TwipRect& other) {
    Side best = Side::None;
    std::int64_t bestArea = 0;
    const auto consider = [&](Side side, TwipRect kept) {
        const std::int64_t area = (kept.right - kept.left) * (kept.bottom - kept.top);
        if (!Empty(kept) && area > bestArea) {
            best = side;
            bestArea = area;
        }
    };
    TwipRect kept = cut;
    kept.right = other.left;
    consider(Side::Right, kept);
    kept = cut;
    kept.left = other.right;
    consider(Side::Left, kept);
    kept = cut;
    kept.bottom = other.top;
    consider(Side::Bottom, kept);
    kept = cut;
    kept.top = other.bottom;
    consider(Side::Top, kept);
    return best;
}

// Moves the edge of `cut` on `side` to `at`, and the facing edge of `other`
// too when `both`.
void MoveEdges(TwipRect& cut, TwipRect& other, Side side, std::int64_t at, bool both) {
    switch (side) {
        case Side::Right:
            cut.right = at;
            other.left = both ? at : other.left;
            break;
        case Side::Left:
            cut.left = at;
            other.right = both ? at : other.right;
            break;
        case Side::Bottom:
            cut.bottom = at;
            other.top = both ? at : other.top;
            break;
        case Side::Top:
            cut.top = at;
            other.bottom = both ? at : other.bottom;
            break;
        case Side::None:
            break;
    }
}

}  // namespace

void PartOverlap(TwipRect& first, TwipRect& second, Yield yield) {
    if (!first.Intersects(second)) {
        return;
    }
    TwipRect& cut = yield == Yield::Second ? second : first;
    TwipRect& other = yield == Yield::Second ? first : second;
    const Side side = BestCut(cut, other);
    std::int64_t edge = 0;  // where the other's facing edge lies
    std::int64_t own = 0;   // where the cut one's edge on that side lies
    switch (side) {
        case Side::None:
            return;
        case Side::Right:
            edge = other.left;
            own = cut.right;
            break;
        case Side::Left:
            edge = other.right;
            own = cut.left;
            break;
        case Side::Bottom:
            edge = other.top;
            own = cut.bottom;
            break;
        case Side::Top:
            edge = other.bottom;
            own = cut.top;
            break;
    }
    if (yield == Yield::Halfway) {
        TwipRect halfCut = cut;
        TwipRect halfOther = other;
        MoveEdges(halfCut, halfOther, side, (edge + own) / 2, true);
        if (!Empty(halfCut) && !Empty(halfOther)) {
            cut = halfCut;
            other = halfOther;
            return;
        }
    }
    MoveEdges(cut, other, side, edge, false);
}

QRect ScaledRect(const TwipRect& rect, double scale) {
    const int x0 = TwipsToPixels(rect.left, scale);
    const int y0 = TwipsToPixels(rect.top, scale);
    const int x1 = TwipsToPixels(rect.right, scale);
    const int y1 = TwipsToPixels(rect.bottom, scale);
    return {x0, y0, x1 - x0, y1 - y0};
}

QSize RoomNeeded(QWidget& widget) {
    const QFontMetrics metrics = widget.fontMetrics();
    const QSize have = widget.size();
    if (auto* label = qobject_cast<QLabel*>(&widget)) {
        return label->text().isEmpty()
                   ? have
                   : Grown(have, label->contentsRect(), TextSize(metrics, label->text()));
    }
    if (auto* check = qobject_cast<QCheckBox*>(&widget)) {
        const int box = check->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, check);
        QSize text = TextSize(metrics, check->text());
        text.setHeight(std::max(text.height(), box));
        return Grown(have, CheckBoxText(*check), text);
    }
    if (auto* button = qobject_cast<QPushButton*>(&widget)) {
        // The style's own margin on either side of the text, as it gives a button.
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        QSize text = TextSize(metrics, button->text());
        text.rwidth() += 2 * margin;
        return Grown(have, ButtonContents(*button), text);
    }
    if (auto* frame = qobject_cast<QGroupBox*>(&widget)) {
        // The title keeps the same distance from the right edge as from the left.
        const QRect title = FrameTitle(*frame);
        return {std::max(have.width(), title.right() + 1 + title.left()), have.height()};
    }
    if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
        return Grown(have, LineEditText(*edit), {0, metrics.height()});
    }
    if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
        return Grown(have, ListField(*combo), {0, metrics.height()});
    }
    return have;
}

QRect ListField(QComboBox& combo) {
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = combo.isEditable();
    option.frame = combo.hasFrame();
    option.currentText = combo.currentText();
    return combo.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                         &combo);
}

int ListWidthNeeded(QComboBox& combo) {
    const QFontMetrics metrics = combo.fontMetrics();
    int longest = 0;
    for (int i = 0; i < combo.count(); ++i) {
        longest = std::max(longest, metrics.horizontalAdvance(combo.itemText(i)));
    }
    return combo.width() - ListField(combo).width() + longest;
}

int PopupWidthNeeded(QComboBox& combo) {
    QAbstractItemView* view = combo.view();
    int width = view->sizeHintForColumn(0) + 2 * view->frameWidth();
    if (combo.count() > combo.maxVisibleItems()) {
        width += view->verticalScrollBar()->sizeHint().width();
    }
    return width;
}

}  // namespace velorin::qt
