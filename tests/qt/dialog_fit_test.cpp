#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>
#include <QWidget>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "forms/frm_copy_legend.h"
#include "forms/frm_help.h"
#include "forms/frm_zoom_flash.h"
#include "platform/qt/qt_toolkit.h"
#include "platform/qt/qt_window.h"
#include "ui/combo_box.h"
#include "ui/control.h"
#include "ui/window.h"

// The three windows of the tools over a host's main window whose style sheet sets
// the font, as QGIS's does: at QGIS's default font (9 pt at 96 dpi, 12 pixels)
// and at 150% (the same font at 144 dpi, 18 pixels), with a long layer name in
// every list. Built for Qt 6 and for the Qt 5 that QGIS runs on; ctest also runs
// the Qt 5 build at a device pixel ratio of 1.5 (QT_SCALE_FACTOR).
namespace velorin::qt {
namespace {

// As long as layer names in real projects run.
constexpr const char* kLongLayerName = "Catchments of the Nerro basin";

struct FitCase {
    const char* name;
    const ui::WindowLayout& (*layout)();
    int fontPixels;
};

void PrintTo(const FitCase& fit, std::ostream* out) {
    *out << fit.name << " at " << fit.fontPixels << " px";
}

// A stand-in for the host's main window: its font comes from a style sheet.
class HostWindow {
  public:
    explicit HostWindow(int fontPixels) {
        m_window.setStyleSheet(
            QStringLiteral("QWidget { font-family: \"DejaVu Sans\"; font-size: %1px; }")
                .arg(fontPixels));
        m_window.ensurePolished();
    }
    QWidget& Widget() { return m_window; }

  private:
    QWidget m_window;
};

// Where a widget draws its text, by its style: what the text must fit into.
QRect TextRect(QWidget& widget) {
    QStyle* style = widget.style();
    if (auto* check = qobject_cast<QCheckBox*>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(check);
        option.text = check->text();
        return style->subElementRect(QStyle::SE_CheckBoxContents, &option, check);
    }
    if (auto* button = qobject_cast<QPushButton*>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        if (button->isDefault()) {
            option.features |= QStyleOptionButton::DefaultButton;
        }
        return style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    }
    if (auto* frame = qobject_cast<QGroupBox*>(&widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        return style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth =
            edit->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
        // QLineEdit's own margins inside its contents: 2 pixels across, 1 down.
        return style->subElementRect(QStyle::SE_LineEditContents, &option, edit)
            .marginsRemoved(edit->textMargins())
            .adjusted(2, 1, -2, -1);
    }
    if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.currentText = combo->currentText();
        return style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                     combo);
    }
    return widget.contentsRect();
}

// Every text the widget may show: a caption, a text box's text, each entry of a list.
QStringList TextsOf(const QWidget& widget) {
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        return {label->text()};
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        return {button->text()};
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(&widget)) {
        return {frame->title()};
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) {
        return {edit->text()};
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) {
        QStringList entries;
        for (int i = 0; i < combo->count(); ++i) {
            entries.append(combo->itemText(i));
        }
        return entries;
    }
    return {};
}

// Each list holds "<None>" and the long name, the long name current.
void FillLists(ui::Window& window) {
    for (std::size_t i = 0; i < window.ControlCount(); ++i) {
        if (auto* list = ui::As<ui::ComboBox>(window.ControlAt(i))) {
            list->AddItem("<None>");
            list->AddItem(kLongLayerName);
            list->SetListIndex(1);
        }
    }
}

class DialogFitTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(DialogFitTest, EveryTextShowsWholeAndNoControlOverlapsAnother) {
    HostWindow host(GetParam().fontPixels);
    QtToolkit toolkit;
    toolkit.SetDialogParent(&host.Widget());
    ui::Window window(GetParam().layout());
    FillLists(window);
    const QtWindow view(window, toolkit);
    QDialog& dialog = view.Dialog();
    dialog.show();
    EXPECT_EQ(dialog.font().pixelSize(), GetParam().fontPixels) << "the host's font";

    struct Placed {
        std::string name;
        QWidget* widget;
    };
    std::vector<Placed> placed;
    for (std::size_t i = 0; i < window.ControlCount(); ++i) {
        const ui::Control& control = window.ControlAt(i);
        QWidget* widget = view.Widget(control);
        ASSERT_NE(widget, nullptr) << control.QualifiedName();
        placed.push_back({control.QualifiedName(), widget});

        const QRect textRect = TextRect(*widget);
        const QFontMetrics metrics = widget->fontMetrics();
        for (const QString& text : TextsOf(*widget)) {
            EXPECT_LE(metrics.horizontalAdvance(text), textRect.width())
                << control.QualifiedName() << " cuts \"" << text.toStdString() << "\"";
            EXPECT_LE(metrics.height(), textRect.height())
                << control.QualifiedName() << " cuts \"" << text.toStdString() << "\" in height";
        }
        EXPECT_TRUE(widget->rect().contains(textRect)) << control.QualifiedName();

        // Inside its frame, below the frame's title; or inside the dialog.
        QWidget* parent = widget->parentWidget();
        const QRect room = parent == &dialog ? dialog.rect() : parent->contentsRect();
        EXPECT_TRUE(room.contains(widget->geometry()))
            << control.QualifiedName() << " at " << widget->geometry().x() << ","
            << widget->geometry().y() << " " << widget->width() << "x" << widget->height()
            << " leaves its container";
    }
    for (std::size_t a = 0; a < placed.size(); ++a) {
        for (std::size_t b = a + 1; b < placed.size(); ++b) {
            QWidget* first = placed[a].widget;
            QWidget* second = placed[b].widget;
            if (first->parentWidget() == second->parentWidget()) {
                EXPECT_FALSE(first->geometry().intersects(second->geometry()))
                    << placed[a].name << " and " << placed[b].name << " overlap";
            }
        }
    }
}

// The whole layout grows by one factor: every control stays in its declared
// place and size relative to the window, within a pixel's rounding, less a part
// it gave up where the layout let it reach under a neighbour.
TEST_P(DialogFitTest, TheLayoutKeepsItsOrderAndProportions) {
    HostWindow host(GetParam().fontPixels);
    QtToolkit toolkit;
    toolkit.SetDialogParent(&host.Widget());
    ui::Window window(GetParam().layout());
    FillLists(window);
    const QtWindow view(window, toolkit);
    const QDialog& dialog = view.Dialog();

    const double scale = dialog.width() * 15.0 / window.ClientWidth();
    EXPECT_NEAR(dialog.height(), window.ClientHeight() * scale / 15.0, 1.0);
    const auto pixels = [scale](std::int32_t twips) { return twips * scale / 15.0; };
    for (std::size_t i = 0; i < window.ControlCount(); ++i) {
        const ui::Control& control = window.ControlAt(i);
        const QRect placed = view.Widget(control)->geometry();
        const QRectF declared(pixels(control.Left()), pixels(control.Top()),
                              pixels(control.Width()), pixels(control.Height()));
        EXPECT_TRUE(declared.adjusted(-1, -1, 1, 1).contains(QRectF(placed)))
            << control.QualifiedName();
        EXPECT_GT(placed.width() * placed.height(), declared.width() * declared.height() * 0.6)
            << control.QualifiedName();
    }
}

std::string CaseName(const ::testing::TestParamInfo<FitCase>& param) { return param.param.name; }

INSTANTIATE_TEST_SUITE_P(
    AtQgisFont, DialogFitTest,
    ::testing::Values(FitCase{"frmZoomFlash", &forms::frmZoomFlash::Layout, 12},
                      FitCase{"frmCopyLegend", &forms::frmCopyLegend::Layout, 12},
                      FitCase{"frmHelp", &forms::frmHelp::Layout, 12}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    AtQgisFont150, DialogFitTest,
    ::testing::Values(FitCase{"frmZoomFlash", &forms::frmZoomFlash::Layout, 18},
                      FitCase{"frmCopyLegend", &forms::frmCopyLegend::Layout, 18},
                      FitCase{"frmHelp", &forms::frmHelp::Layout, 18}),
    CaseName);

// A name too long for any sensible dialog: the dialog stays on the screen, and the
// list shows the whole name in its popup and in its tooltip.
TEST(DialogFit, AListTooLongForTheDialogShowsItsEntryWholeInThePopupAndTheTooltip) {
    HostWindow host(12);
    QtToolkit toolkit;
    toolkit.SetDialogParent(&host.Widget());
    ui::Window window(forms::frmZoomFlash::Layout());
    FillLists(window);
    const std::string endless = std::string(kLongLayerName) +
                                ", digitised from the survey sheets of 1912, 1938, 1961 " +
                                "and 2026, merged and cleaned by the regional water authority";
    auto& list = window.ComboBox("cboFld1");
    list.AddItem(endless);
    list.SetListIndex(2);
    const QtWindow view(window, toolkit);
    QDialog& dialog = view.Dialog();
    dialog.show();

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(dialog.width(), screen.width());
    EXPECT_LE(dialog.height(), screen.height());

    auto* combo = qobject_cast<QComboBox*>(view.Widget("cboFld1"));
    ASSERT_NE(combo, nullptr);
    const QString whole = QString::fromStdString(endless);
    EXPECT_TRUE(combo->toolTip().contains(whole)) << combo->toolTip().toStdString();
    EXPECT_TRUE(combo->toolTip().contains(QString::fromStdString(list.ToolTip())))
        << "the declared tooltip stays";
    combo->showPopup();
    const int entryWidth = combo->view()->fontMetrics().horizontalAdvance(whole);
    EXPECT_GE(combo->view()->viewport()->width(), std::min(entryWidth, screen.width() * 9 / 10));
    combo->hidePopup();

    // Picking an entry that fits takes the name off the tooltip.
    list.SetListIndex(0);
    EXPECT_EQ(combo->toolTip().toStdString(), list.ToolTip());
}

// FillInputs runs before the show, but picking a layer refills its field list
// while the dialog is up: the layout grows for the new entries then.
TEST(DialogFit, AListRefilledWhileShownGrowsTheLayoutForItsNewEntry) {
    HostWindow host(12);
    QtToolkit toolkit;
    toolkit.SetDialogParent(&host.Widget());
    ui::Window window(forms::frmCopyLegend::Layout());
    window.Load();  // as FillInputs does before the show
    const QtWindow view(window, toolkit);
    view.Dialog().show();
    QCoreApplication::processEvents();
    auto* combo = qobject_cast<QComboBox*>(view.Widget("cboFld1"));
    ASSERT_NE(combo, nullptr);
    const int width = view.Dialog().width();

    window.ComboBox("cboFld1").AddItem(kLongLayerName);
    window.ComboBox("cboFld1").SetListIndex(0);
    QCoreApplication::processEvents();
    EXPECT_GT(view.Dialog().width(), width);
    EXPECT_LE(combo->fontMetrics().horizontalAdvance(QString::fromUtf8(kLongLayerName)),
              TextRect(*combo).width());
}

// A caption moved into a sliver one pixel wide would want the window some fifty
// times as large; it grows, but only so far.
TEST(DialogFit, ACaptionSqueezedIntoASliverGrowsTheWindowOnlySoFar) {
    QtToolkit toolkit;
    ui::Window window(forms::frmZoomFlash::Layout());
    const QtWindow view(window, toolkit);
    const QSize declared = view.Dialog().size();
    window.Label("lblZoomFactor").Move(3120, 375, 15, 255);
    QCoreApplication::processEvents();
    EXPECT_GT(view.Dialog().width(), declared.width() * 2);
    EXPECT_LE(view.Dialog().width(), declared.width() * 8 + 1);
}

}  // namespace
}  // namespace velorin::qt
