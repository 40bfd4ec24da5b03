#include "platform/qt/qt_window.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "platform/qt/application_look.h"
#include "platform/qt/qt_toolkit.h"
#include "tests/qt/every_kind_layout.h"
#include "tests/qt/qt_harness.h"
#include "ui/current_toolkit.h"
#include "ui/window.h"

namespace velorin::qt {
namespace {

using testing::CaptionFits;
using testing::CaptionInk;
using testing::kEveryKindLayout;

// The every-kind window, its mirror shown without a modal loop, and counters on
// the handlers a person's actions should fire.
class QtWindowTest : public ::testing::Test {
  protected:
    QtWindowTest() {
        window.ComboBox("cboLyr1").OnClick([this] { ++listClicks; });
        window.CheckBox("chkFull").OnClick([this] {
            ++checkClicks;
            // As the tools' dialogs do: the check box enables what it governs.
            window.TextBox("txtTime").SetEnabled(window.CheckBox("chkFull").Checked());
        });
        window.Button("cmdOK").OnClick([this] { ++okClicks; });
        window.Button("cmdCancel").OnClick([this] { ++cancelClicks; });
        window.ComboBox("cboLyr1").AddItem("Catchment");
        window.ComboBox("cboLyr1").AddItem("NerroJunction");
        window.ComboBox("cboLyr1").AddItem("Waterbody");
        view = std::make_unique<QtWindow>(window, toolkit);
        view->Dialog().show();
    }
    ~QtWindowTest() override {
        view.reset();
        window.Unload();
    }
    QtWindowTest(const QtWindowTest&) = delete;
    QtWindowTest(QtWindowTest&&) = delete;
    QtWindowTest& operator=(const QtWindowTest&) = delete;
    QtWindowTest& operator=(QtWindowTest&&) = delete;

    template <class T>
    T* Widget(std::string_view name) {
        T* widget = qobject_cast<T*>(view->Widget(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QtToolkit toolkit;
    ui::ToolkitScope scope{toolkit};
    ui::Window window{kEveryKindLayout};
    std::unique_ptr<QtWindow> view;
    int listClicks = 0;
    int checkClicks = 0;
    int okClicks = 0;
    int cancelClicks = 0;
};

TEST_F(QtWindowTest, ControlsSitAtTheirTwipPositionsAtFifteenTwipsPerPixel) {
    EXPECT_EQ(view->Dialog().size(), QSize(381, 185));
    EXPECT_EQ(view->Widget("fraSource")->geometry(), QRect(8, 8, 177, 105));
    // Inside a frame, relative to the frame, although the frame comes later in
    // the layout.
    EXPECT_EQ(view->Widget("lblLayer")->parentWidget(), view->Widget("fraSource"));
    // Its last pixel row (twips 600 to 615) lies under the list below it, which
    // the label gives up.
    EXPECT_EQ(view->Widget("lblLayer")->geometry(), QRect(8, 24, 65, 16));
    EXPECT_EQ(view->Widget("txtTime")->geometry(), QRect(128, 72, 41, 19));
    EXPECT_EQ(view->Widget("cmdCancel")->geometry(), QRect(156, 152, 49, 25));
    EXPECT_EQ(view->Widget("txtNotes")->parentWidget(), &view->Dialog());
}

TEST_F(QtWindowTest, TheWindowHasAFixedBorderNoMinMaxButtonsTheIconAndTheDialogFont) {
    const QDialog& dialog = view->Dialog();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog.windowIcon().isNull());
    EXPECT_EQ(dialog.windowIcon().pixmap(32).toImage().convertToFormat(
                  QImage::Format_ARGB32_Premultiplied),
              QImage(WindowIconFile(32)).convertToFormat(QImage::Format_ARGB32_Premultiplied));
    EXPECT_EQ(dialog.font().pixelSize(), 11);
    EXPECT_EQ(dialog.windowTitle(), "Every Kind");
    EXPECT_EQ(dialog.objectName(), "frmEveryKind");
}

TEST_F(QtWindowTest, EveryCaptionIsDrawnAndFitsItsControl) {
    for (const char* name :
         {"fraSource", "lblLayer", "lblTime", "chkFull", "cmdOK", "cmdCancel", "cmdHelp"}) {
        QWidget* widget = view->Widget(name);
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_GT(CaptionInk(*widget), 15) << name << " shows no text";
        EXPECT_TRUE(CaptionFits(*widget));
    }
}

TEST_F(QtWindowTest, ARightAlignedLabelDrawsItsTextAgainstItsRightEdge) {
    QLabel* label = Widget<QLabel>("lblLayer");
    label->resize(label->width() * 2, label->height());  // room to show which side
    const QImage image = label->grab().toImage();
    int left = 0;
    int right = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                (x < image.width() / 2 ? left : right) += 1;
            }
        }
    }
    EXPECT_GT(right, 15);
    EXPECT_EQ(left, 0);
}

TEST_F(QtWindowTest, EnabledVisibleCaptionTooltipAndPositionFollowTheModelLive) {
    window.TextBox("txtTime").SetEnabled(false);
    EXPECT_FALSE(view->Widget("txtTime")->isEnabled());
    window.Frame("fraSource").SetEnabled(false);
    EXPECT_FALSE(view->Widget("cboLyr1")->isEnabled()) << "a disabled frame disables its controls";
    window.Frame("fraSource").SetEnabled(true);
    EXPECT_TRUE(view->Widget("cboLyr1")->isEnabled());

    window.Button("cmdHelp").SetVisible(false);
    EXPECT_TRUE(view->Widget("cmdHelp")->isHidden());

    window.Label("lblLayer").SetCaption("Related Layer");
    EXPECT_EQ(Widget<QLabel>("lblLayer")->text(), "Related Layer");
    window.Frame("fraSource").SetCaption("Related Features");
    EXPECT_EQ(Widget<QGroupBox>("fraSource")->title(), "Related Features");
    window.SetCaption("Another Caption");
    EXPECT_EQ(view->Dialog().windowTitle(), "Another Caption");

    EXPECT_EQ(view->Widget("cboLyr1")->toolTip(), "The layer whose features are visited");
    window.ComboBox("cboLyr1").SetToolTip("Pick a layer");
    EXPECT_EQ(view->Widget("cboLyr1")->toolTip(), "Pick a layer");

    window.Button("cmdOK").Move(150, 300, 1500, 450);
    EXPECT_EQ(view->Widget("cmdOK")->geometry(), QRect(10, 20, 100, 30));
}

TEST_F(QtWindowTest, ListEntriesAndTheCurrentEntryFollowTheModelWithoutFiringClicks) {
    auto& list = window.ComboBox("cboLyr1");
    QComboBox* combo = Widget<QComboBox>("cboLyr1");
    list.SetListIndex(1);
    EXPECT_EQ(combo->currentText(), "NerroJunction");
    listClicks = 0;

    list.AddItem("<None>", 0);  // shifts the current entry; its text stays
    ASSERT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->itemText(0), "<None>");
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_EQ(combo->currentText(), "NerroJunction");
    list.AddItem("Watershed", 2);
    EXPECT_EQ(combo->itemText(2), "Watershed");
    EXPECT_EQ(combo->itemText(3), "NerroJunction");
    EXPECT_EQ(combo->currentText(), "NerroJunction");

    list.Clear();
    EXPECT_EQ(combo->count(), 0);
    EXPECT_EQ(combo->currentIndex(), -1);
    list.AddItem("Catchment");
    list.AddItem("Catchment");  // equal entries are entries still
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(listClicks, 0) << "mirroring is not a person's pick";
}

TEST_F(QtWindowTest, TextValueMaximumAndAlignmentFollowTheModel) {
    QLineEdit* edit = Widget<QLineEdit>("txtTime");
    EXPECT_EQ(edit->text(), "1.5");
    EXPECT_TRUE(edit->alignment() & Qt::AlignRight);
    window.TextBox("txtTime").SetText("2.25");
    EXPECT_EQ(edit->text(), "2.25");
    window.TextBox("txtTime").SetTextAlignment(ui::Alignment::Left);
    EXPECT_TRUE(edit->alignment() & Qt::AlignLeft);

    // A lowered maximum keeps the text already there; the widget must not cut it.
    window.TextBox("txtTime").SetMaxLength(2);
    EXPECT_EQ(edit->text(), "2.25");
    EXPECT_EQ(window.TextBox("txtTime").Text(), "2.25");

    window.CheckBox("chkFull").SetValue(1);
    EXPECT_TRUE(Widget<QCheckBox>("chkFull")->isChecked());
    window.CheckBox("chkFull").SetValue(0);
    EXPECT_FALSE(Widget<QCheckBox>("chkFull")->isChecked());
}

TEST_F(QtWindowTest, TabOrderFollowsTheModelsTabIndices) {
    const auto chain = [this] {
        std::vector<QString> names;
        QWidget* start = view->Widget("cboLyr1");
        QWidget* widget = start;
        do {
            if (widget->focusPolicy() & Qt::TabFocus) {
                names.push_back(widget->objectName());
            }
            widget = widget->nextInFocusChain();
        } while (widget != start && names.size() < 20);
        return names;
    };
    EXPECT_EQ(chain(), (std::vector<QString>{"cboLyr1", "txtTime", "chkFull", "txtNotes", "cmdOK",
                                             "cmdCancel", "cmdHelp"}));
    window.Button("cmdOK").SetTabIndex(0);
    EXPECT_EQ(chain(), (std::vector<QString>{"cboLyr1", "txtTime", "chkFull", "txtNotes",
                                             "cmdCancel", "cmdHelp", "cmdOK"}));
}

TEST_F(QtWindowTest, AKeyboardPickFiresTheClickAndRePickingTheCurrentEntryFiresItAgain) {
    QComboBox* combo = Widget<QComboBox>("cboLyr1");
    window.ComboBox("cboLyr1").SetListIndex(0);
    listClicks = 0;

    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(window.ComboBox("cboLyr1").ListIndex(), 1);
    EXPECT_EQ(listClicks, 1);

    combo->showPopup();
    QTest::keyClick(static_cast<QWidget*>(combo->view()), Qt::Key_Return);
    EXPECT_EQ(window.ComboBox("cboLyr1").ListIndex(), 1);
    EXPECT_EQ(listClicks, 2) << "re-picking the current entry is a pick";
}

TEST_F(QtWindowTest, TypingSetsTheTextAndStopsAtTheMaximumLength) {
    QLineEdit* edit = Widget<QLineEdit>("txtTime");
    edit->selectAll();
    QTest::keyClicks(edit, "12.3456789");
    EXPECT_EQ(window.TextBox("txtTime").Text(), "12.34");
    EXPECT_EQ(edit->text(), "12.34");

    window.TextBox("txtTime").SetMaxLength(0);
    QTest::keyClicks(edit, "56789");
    EXPECT_EQ(window.TextBox("txtTime").Text(), "12.3456789");

    // Whatever changes the text in the person's hands reaches the model.
    edit->undo();
    EXPECT_EQ(window.TextBox("txtTime").Text(), edit->text().toStdString());
}

TEST_F(QtWindowTest, AMultiLineBoxShowsLineBreaksScrollsAndWritesLineBreaksBack) {
    auto* edit = Widget<QPlainTextEdit>("txtNotes");
    window.TextBox("txtNotes").SetText("First line\r\nSecond line");
    EXPECT_EQ(edit->blockCount(), 2);
    EXPECT_EQ(edit->toPlainText(), "First line\nSecond line");
    EXPECT_EQ(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    edit->moveCursor(QTextCursor::End);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, "Third");
    EXPECT_EQ(window.TextBox("txtNotes").Text(), "First line\r\nSecond line\r\nThird");
}

TEST_F(QtWindowTest, ACheckBoxClickSetsTheValueAndWhatTheHandlerEnablesFollows) {
    EXPECT_TRUE(view->Widget("txtTime")->isEnabled());
    QTest::mouseClick(Widget<QCheckBox>("chkFull"), Qt::LeftButton);
    EXPECT_EQ(window.CheckBox("chkFull").Value(), 1);
    EXPECT_EQ(checkClicks, 1);
    EXPECT_TRUE(view->Widget("txtTime")->isEnabled());
    QTest::mouseClick(Widget<QCheckBox>("chkFull"), Qt::LeftButton);
    EXPECT_EQ(window.CheckBox("chkFull").Value(), 0);
    EXPECT_FALSE(view->Widget("txtTime")->isEnabled());
}

TEST_F(QtWindowTest, EnterPressesTheDefaultButtonAndEscIsNotBoundToCancel) {
    QTest::keyClick(Widget<QLineEdit>("txtTime"), Qt::Key_Return);
    EXPECT_EQ(okClicks, 1);
    QTest::keyClick(Widget<QComboBox>("cboLyr1"), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(okClicks, 2);

    QTest::keyClick(Widget<QLineEdit>("txtTime"), Qt::Key_Escape);
    EXPECT_EQ(cancelClicks, 0);
    EXPECT_TRUE(view->Dialog().isVisible()) << "Esc does not dismiss the dialog either";

    // A focused button takes Enter itself, as buttons do.
    QTest::keyClick(Widget<QPushButton>("cmdCancel"), Qt::Key_Return);
    EXPECT_EQ(cancelClicks, 1);
    EXPECT_EQ(okClicks, 2);
}

TEST_F(QtWindowTest, AButtonClickClicksTheModelButton) {
    QTest::mouseClick(Widget<QPushButton>("cmdCancel"), Qt::LeftButton);
    EXPECT_EQ(cancelClicks, 1);
    window.Button("cmdCancel").SetEnabled(false);
    QTest::mouseClick(Widget<QPushButton>("cmdCancel"), Qt::LeftButton);
    EXPECT_EQ(cancelClicks, 1) << "a disabled button cannot be pressed";
}

TEST_F(QtWindowTest, UnloadingPutsEveryWidgetBackToTheLayout) {
    window.TextBox("txtTime").SetText("9");
    window.CheckBox("chkFull").SetValue(1);
    window.Unload();
    EXPECT_EQ(Widget<QLineEdit>("txtTime")->text(), "1.5");
    EXPECT_FALSE(Widget<QCheckBox>("chkFull")->isChecked());
    EXPECT_EQ(Widget<QComboBox>("cboLyr1")->count(), 0);
}

// With a Cancel button flagged in the layout, Esc presses it through the model.
constexpr ui::ControlLayout kEscControls[] = {
    {.name = "cmdOK",
     .kind = ui::ControlKind::CommandButton,
     .caption = "OK",
     .width = 735,
     .height = 375,
     .settings = {.defaultButton = true}},
    {.name = "cmdCancel",
     .kind = ui::ControlKind::CommandButton,
     .caption = "Cancel",
     .left = 900,
     .width = 735,
     .height = 375,
     .settings = {.cancelButton = true}},
};

TEST(QtWindow, EscPressesACancelButtonTheLayoutDeclares) {
    QtToolkit toolkit;
    ui::Window window(ui::WindowLayout{.name = "frmEsc",
                                       .caption = "Esc",
                                       .clientWidth = 2000,
                                       .clientHeight = 600,
                                       .controls = kEscControls});
    int cancels = 0;
    window.Button("cmdCancel").OnClick([&cancels] { ++cancels; });
    QtWindow view(window, toolkit);
    QTest::keyClick(view.Widget("cmdOK"), Qt::Key_Escape);
    EXPECT_EQ(cancels, 1);
}

}  // namespace
}  // namespace velorin::qt
