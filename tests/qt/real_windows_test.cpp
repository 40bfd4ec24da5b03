#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <string>
#include <vector>

#include "forms/frm_copy_legend.h"
#include "forms/frm_help.h"
#include "forms/frm_zoom_flash.h"
#include "host/host.h"
#include "platform/memory/reference_host.h"
#include "platform/qt/application_look.h"
#include "platform/qt/qt_toolkit.h"
#include "platform/qt/qt_window.h"
#include "tests/qt/qt_harness.h"
#include "ui/current_toolkit.h"
#include "ui/window.h"

// The three windows of the tools, built by the Qt toolkit from their real
// layouts, and a real Zoom and Flash dialog driven by a person through Qt.
namespace velorin::qt {
namespace {

using testing::CaptionFits;
using testing::CaptionInk;
using testing::FindShown;
using testing::Watchdog;
using testing::WhenLoopRuns;

struct RealWindow {
    const char* name;
    const ui::WindowLayout& (*layout)();
};

class RealWindowTest : public ::testing::TestWithParam<RealWindow> {};

TEST_P(RealWindowTest, EveryCaptionIsDrawnInsideItsControlAndTheIconIsSet) {
    QtToolkit toolkit;
    ui::Window window(GetParam().layout());
    const QtWindow view(window, toolkit);
    const QDialog& dialog = view.Dialog();
    EXPECT_EQ(dialog.size(),
              QSize(TwipsToPixels(window.ClientWidth()), TwipsToPixels(window.ClientHeight())));
    EXPECT_EQ(dialog.windowIcon().pixmap(32).toImage().convertToFormat(
                  QImage::Format_ARGB32_Premultiplied),
              QImage(WindowIconFile(32)).convertToFormat(QImage::Format_ARGB32_Premultiplied));
    EXPECT_EQ(dialog.windowTitle().toStdString(), window.Caption());

    int captions = 0;
    for (std::size_t i = 0; i < window.ControlCount(); ++i) {
        const ui::Control& control = window.ControlAt(i);
        QWidget* widget = view.Widget(control);
        ASSERT_NE(widget, nullptr) << control.QualifiedName();
        if (testing::CaptionOf(*widget).isEmpty()) {
            continue;  // lists, multi-line boxes, empty text boxes
        }
        ++captions;
        EXPECT_GT(CaptionInk(*widget), 10) << control.QualifiedName() << " shows no text";
        EXPECT_TRUE(CaptionFits(*widget)) << control.QualifiedName();
        // Inside the dialog, not cut off by its edge.
        const QRect inDialog(widget->mapTo(&dialog, QPoint(0, 0)), widget->size());
        EXPECT_TRUE(dialog.rect().contains(inDialog)) << control.QualifiedName();
    }
    EXPECT_GT(captions, 0);
}

// The layouts place some controls over others (a label reaching into the check
// box beside it); at the dialog font their captions must still stand apart.
TEST_P(RealWindowTest, NoCaptionIsDrawnOverAnother) {
    QtToolkit toolkit;
    ui::Window window(GetParam().layout());
    const QtWindow view(window, toolkit);
    struct Drawn {
        std::string name;
        QRect area;  // in the dialog
    };
    std::vector<Drawn> drawn;
    for (std::size_t i = 0; i < window.ControlCount(); ++i) {
        const ui::Control& control = window.ControlAt(i);
        QWidget* widget = view.Widget(control);
        if (!testing::CaptionOf(*widget).isEmpty()) {
            const QRect area = testing::CaptionArea(*widget);
            drawn.push_back({control.QualifiedName(),
                             area.translated(widget->mapTo(&view.Dialog(), QPoint(0, 0)))});
        }
    }
    for (std::size_t a = 0; a < drawn.size(); ++a) {
        for (std::size_t b = a + 1; b < drawn.size(); ++b) {
            EXPECT_FALSE(drawn[a].area.intersects(drawn[b].area))
                << drawn[a].name << " and " << drawn[b].name
                << " draw their captions over each other";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tools, RealWindowTest,
                         ::testing::Values(RealWindow{"frmZoomFlash", &forms::frmZoomFlash::Layout},
                                           RealWindow{"frmCopyLegend",
                                                      &forms::frmCopyLegend::Layout},
                                           RealWindow{"frmHelp", &forms::frmHelp::Layout}),
                         [](const ::testing::TestParamInfo<RealWindow>& param) {
                             return std::string(param.param.name);
                         });

// Watershed polygons keyed by NerroID, and NerroJunction points carrying the
// NerroID of their watershed: what the dialog's lists prefer.
memory::ReferenceHost Hydrology() {
    return memory::HostBuilder()
        .FeatureLayer("Streams", host::esriGeometryPolyline)
        .Field("Name", host::esriFieldTypeString)
        .FeatureLayer("Watershed", host::esriGeometryPolygon)
        .Field("NerroID", host::esriFieldTypeInteger)
        .FeatureLayer("NerroJunction", host::esriGeometryPoint)
        .Field("JunctionID", host::esriFieldTypeInteger)
        .Field("NerroID", host::esriFieldTypeInteger)
        .Build();
}

template <class T>
T* Child(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

TEST(RealZoomFlashDialog, APersonDrivesItThroughQtToOk) {
    QtToolkit toolkit;
    const ui::ToolkitScope scope(toolkit);
    const Watchdog watchdog;
    const memory::ReferenceHost host = Hydrology();
    forms::frmZoomFlash dialog;
    dialog.SetApplication(host.Application());
    dialog.FillInputs();

    bool helpSeen = false;
    WhenLoopRuns([&] {
        QDialog* shown = FindShown<QDialog>("frmZoomFlash");
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->windowTitle(), "Zoom and Flash");
        // What FillInputs chose before the show is what the person sees.
        auto* sourceLayers = Child<QComboBox>(shown, "cboLyr1");
        EXPECT_EQ(sourceLayers->currentText().toStdString(),
                  dialog.Window().ComboBox("cboLyr1").Text());
        EXPECT_EQ(sourceLayers->count(), dialog.Window().ComboBox("cboLyr1").ListCount());
        EXPECT_EQ(shown->focusWidget(), sourceLayers);

        // The Help button opens the help window above, with its text in lines;
        // Esc closes it (its OK is also its cancel button).
        WhenLoopRuns([&helpSeen] {
            QDialog* help = FindShown<QDialog>("frmHelp");
            ASSERT_NE(help, nullptr);
            helpSeen = true;
            EXPECT_EQ(help->windowTitle(), "Help:  Zoom and Flash");
            auto* text = Child<QPlainTextEdit>(help, "txtHelp");
            EXPECT_GT(text->blockCount(), 3);
            EXPECT_TRUE(text->toPlainText().endsWith("Last Updated - 29 Jan 2003"));
            EXPECT_EQ(help->focusWidget(), help->findChild<QPushButton*>("cmdOK"));
            QTest::keyClick(help, Qt::Key_Escape);
        });
        QTest::mouseClick(Child<QPushButton>(shown, "cmdHelp"), Qt::LeftButton);
        EXPECT_TRUE(shown->isVisible());

        // Unchecking Related Feature Envelope disables its width, live.
        auto* width = Child<QLineEdit>(shown, "txtZoomWidth");
        EXPECT_TRUE(width->isEnabled());
        QTest::mouseClick(Child<QCheckBox>(shown, "chkRelated"), Qt::LeftButton);
        EXPECT_FALSE(width->isEnabled());

        auto* time = Child<QLineEdit>(shown, "txtSrcFlashTime");
        time->selectAll();
        QTest::keyClicks(time, "0.75");
        QTest::keyClick(time, Qt::Key_Return);  // Enter presses OK
    });
    ui::CurrentToolkit().ShowModal(dialog.Window());

    EXPECT_TRUE(helpSeen);
    EXPECT_FALSE(dialog.UserCancel());
    EXPECT_EQ(dialog.SourceLayer(), "Watershed");
    EXPECT_EQ(dialog.SourceField(), "NerroID");
    EXPECT_EQ(dialog.RelatedLayer(), "NerroJunction");
    EXPECT_DOUBLE_EQ(dialog.SourceFlashTime(), 0.75);
    EXPECT_EQ(dialog.ZoomMethod(), 1);
    EXPECT_FALSE(dialog.Window().Visible());
}

TEST(RealZoomFlashDialog, TheCloseBoxLeavesUserCancelTrue) {
    QtToolkit toolkit;
    const ui::ToolkitScope scope(toolkit);
    const Watchdog watchdog;
    const memory::ReferenceHost host = Hydrology();
    forms::frmZoomFlash dialog;
    dialog.SetApplication(host.Application());
    dialog.FillInputs();
    WhenLoopRuns([] {
        if (QDialog* shown = FindShown<QDialog>("frmZoomFlash")) {
            shown->close();
        }
    });
    ui::CurrentToolkit().ShowModal(dialog.Window());
    EXPECT_TRUE(dialog.UserCancel());
    EXPECT_FALSE(dialog.Window().Loaded());
}

// On a desktop with a decimal comma the untouched dialog shows its defaults in
// that form and accepts them as they stand.
TEST(RealZoomFlashDialog, ItsDefaultsReadBackUnderADecimalComma) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QtToolkit toolkit;
    const ui::ToolkitScope scope(toolkit);
    const Watchdog watchdog;
    const memory::ReferenceHost host = Hydrology();
    forms::frmZoomFlash dialog;
    dialog.SetApplication(host.Application());
    dialog.FillInputs();
    EXPECT_EQ(dialog.Window().TextBox("txtSrcFlashTime").Text(), "1,5");
    EXPECT_EQ(dialog.Window().TextBox("txtZoomFactor").Text(), "1,7");
    WhenLoopRuns([] {
        if (QDialog* shown = FindShown<QDialog>("frmZoomFlash")) {
            QTest::mouseClick(Child<QPushButton>(shown, "cmdOK"), Qt::LeftButton);
        }
    });
    ui::CurrentToolkit().ShowModal(dialog.Window());
    QLocale::setDefault(before);
    EXPECT_FALSE(dialog.UserCancel());
    EXPECT_DOUBLE_EQ(dialog.SourceFlashTime(), 1.5);
    EXPECT_DOUBLE_EQ(dialog.RelatedFlashTime(), 2.5);
    EXPECT_DOUBLE_EQ(dialog.ZoomFactor(), 1.7);
    EXPECT_DOUBLE_EQ(dialog.ZoomWidth(), 300);
}

}  // namespace
}  // namespace velorin::qt
