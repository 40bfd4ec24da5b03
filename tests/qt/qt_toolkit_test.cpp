#include "platform/qt/qt_toolkit.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "tests/qt/every_kind_layout.h"
#include "tests/qt/qt_harness.h"
#include "ui/current_toolkit.h"
#include "ui/runtime_error.h"
#include "ui/window.h"

namespace velorin::qt {
namespace {

using testing::FindShown;
using testing::kEveryKindLayout;
using testing::Watchdog;
using testing::WhenLoopRuns;

// A small form on the every-kind window, as the tools' dialogs are: OK accepts
// what is shown and hides the window, Cancel hides it, Help shows a second window
// modally, and the list's click can be told to fail.
class SmallForm {
  public:
    explicit SmallForm(ui::Toolkit& toolkit) : m_toolkit(toolkit) {
        m_window.Button("cmdOK").OnClick([this] {
            acceptedLayer = m_window.ComboBox("cboLyr1").Text();
            acceptedTime = m_window.TextBox("txtTime").Text();
            userCancel = false;
            m_window.Hide();
        });
        m_window.Button("cmdCancel").OnClick([this] { m_window.Hide(); });
        m_window.Button("cmdHelp").OnClick([this] {
            ui::Window help(kEveryKindLayout);
            help.SetCaption("Help:  Every Kind");
            help.Button("cmdOK").OnClick([&help] { help.Unload(); });
            m_toolkit.ShowModal(help);
            helpShown = true;
        });
        m_window.ComboBox("cboLyr1").OnClick([this] {
            if (failPicks) {
                ui::RaiseRuntimeError(ui::kErrInvalidPropertyValue, "refill failed");
            }
        });
        m_window.OnUnload([this] { unloaded = true; });
    }

    void Fill() {
        userCancel = true;
        auto& list = m_window.ComboBox("cboLyr1");
        list.Clear();
        list.AddItem("Catchment");
        list.AddItem("NerroJunction");
        list.SetListIndex(0);
    }

    ui::Window& Window() { return m_window; }

    std::string acceptedLayer;
    std::string acceptedTime;
    bool userCancel = true;
    bool unloaded = false;
    bool helpShown = false;
    bool failPicks = false;

  private:
    ui::Toolkit& m_toolkit;
    ui::Window m_window{kEveryKindLayout};
};

class QtToolkitTest : public ::testing::Test {
  protected:
    QtToolkit toolkit;
    ui::ToolkitScope scope{toolkit};
    Watchdog watchdog;
};

QDialog* ShownDialog(const char* name) {
    QDialog* dialog = FindShown<QDialog>(name);
    EXPECT_NE(dialog, nullptr) << name << " is not shown";
    return dialog;
}

TEST_F(QtToolkitTest, AModalWindowDrivenFromTheLoopToOkReturnsWithWhatThePersonChose) {
    SmallForm form(toolkit);
    form.Fill();
    bool sawDialog = false;
    WhenLoopRuns([&] {
        QDialog* dialog = ShownDialog("frmEveryKind");
        ASSERT_NE(dialog, nullptr);
        sawDialog = true;
        EXPECT_TRUE(dialog->isModal());
        EXPECT_TRUE(form.Window().Modal());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_LE((dialog->frameGeometry().center() - screen.center()).manhattanLength(), 1)
            << "centred on the screen";
        auto* combo = dialog->findChild<QComboBox*>("cboLyr1");
        EXPECT_EQ(dialog->focusWidget(), combo) << "the first in tab order has the focus";
        QTest::keyClick(combo, Qt::Key_Down);
        auto* edit = dialog->findChild<QLineEdit*>("txtTime");
        edit->selectAll();
        QTest::keyClicks(edit, "2.5");
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    toolkit.ShowModal(form.Window());
    EXPECT_TRUE(sawDialog);
    EXPECT_FALSE(form.userCancel);
    EXPECT_EQ(form.acceptedLayer, "NerroJunction");
    EXPECT_EQ(form.acceptedTime, "2.5");
    EXPECT_FALSE(form.Window().Visible());
    EXPECT_TRUE(form.Window().Loaded()) << "hiding keeps the window loaded";
    EXPECT_FALSE(form.Window().Modal());
    EXPECT_EQ(FindShown<QDialog>("frmEveryKind"), nullptr);
}

TEST_F(QtToolkitTest, TheCloseBoxUnloadsTheWindowWithoutRunningCancel) {
    SmallForm form(toolkit);
    form.Fill();
    WhenLoopRuns([] {
        if (QDialog* dialog = ShownDialog("frmEveryKind")) {
            dialog->close();
        }
    });
    toolkit.ShowModal(form.Window());
    EXPECT_TRUE(form.unloaded);
    EXPECT_FALSE(form.Window().Loaded());
    EXPECT_TRUE(form.userCancel);
    EXPECT_EQ(FindShown<QDialog>("frmEveryKind"), nullptr);
}

TEST_F(QtToolkitTest, AHandlerErrorIsShownInABoxAndTheWindowStaysUp) {
    SmallForm form(toolkit);
    form.Fill();
    form.failPicks = true;
    std::string boxText;
    WhenLoopRuns([&] {
        QDialog* dialog = ShownDialog("frmEveryKind");
        ASSERT_NE(dialog, nullptr);
        WhenLoopRuns([&] {
            if (QMessageBox* box = FindShown<QMessageBox>()) {
                boxText = box->text().toStdString();
                box->button(QMessageBox::Ok)->click();
            }
        });
        QTest::keyClick(dialog->findChild<QComboBox*>("cboLyr1"), Qt::Key_Down);
        EXPECT_TRUE(dialog->isVisible());
        form.failPicks = false;
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    toolkit.ShowModal(form.Window());
    EXPECT_EQ(boxText, "Error 380: Invalid property value: refill failed");
    EXPECT_FALSE(form.userCancel);
}

TEST_F(QtToolkitTest, AWindowShownModallyFromAHandlerRunsItsOwnLoopAbove) {
    SmallForm form(toolkit);
    form.Fill();
    WhenLoopRuns([&] {
        QDialog* dialog = ShownDialog("frmEveryKind");
        ASSERT_NE(dialog, nullptr);
        WhenLoopRuns([] {
            QDialog* help = nullptr;
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->isVisible() && widget->windowTitle() == "Help:  Every Kind") {
                    help = qobject_cast<QDialog*>(widget);
                }
            }
            ASSERT_NE(help, nullptr);
            EXPECT_EQ(QApplication::activeModalWidget(), help);
            QTest::mouseClick(help->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        });
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdHelp"), Qt::LeftButton);
        EXPECT_TRUE(form.helpShown);
        EXPECT_TRUE(dialog->isVisible());
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    });
    toolkit.ShowModal(form.Window());
    EXPECT_TRUE(form.helpShown);
    EXPECT_TRUE(form.userCancel);
}

TEST_F(QtToolkitTest, AWindowAlreadyShownCannotBeShownModallyAgain) {
    SmallForm form(toolkit);
    form.Window().Show();
    try {
        toolkit.ShowModal(form.Window());
        FAIL() << "no error";
    } catch (const velorin::Error& error) {
        EXPECT_EQ(error.Number(), ui::kErrCannotShowModally);
    }
    form.Window().Unload();
}

// The application quitting under a modal window ends every event loop; the show
// must end as a dismissed dialog's does, not spin or leave the window "shown".
TEST_F(QtToolkitTest, TheApplicationQuittingEndsAModalShowAsDismissed) {
    SmallForm form(toolkit);
    form.Fill();
    WhenLoopRuns([] { QCoreApplication::exit(0); });
    toolkit.ShowModal(form.Window());
    EXPECT_FALSE(form.Window().Visible());
    EXPECT_TRUE(form.userCancel);
    // Event loops refuse to run until the application's own loop has run again.
    WhenLoopRuns([] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

// ---- message boxes

enum class Press { Ok, Cancel, CloseBox };

struct BoxCase {
    const char* name;
    ui::MsgButtons buttons;
    ui::MsgIcon icon;
    const char* title;  // as passed; empty gives the library's name
    Press press;
    const char* shownTitle;
    ui::MsgResult result;
};

class QtMessageBoxTest : public QtToolkitTest, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(QtMessageBoxTest, ShowsItsTitleButtonsAndIconAndReturnsThePress) {
    const BoxCase& c = GetParam();
    bool seen = false;
    WhenLoopRuns([&] {
        QMessageBox* box = FindShown<QMessageBox>();
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->windowTitle().toStdString(), c.shownTitle);
        EXPECT_EQ(box->text(), "Layer <None> not found");
        EXPECT_EQ(box->textFormat(), Qt::PlainText) << "<None> is text, not markup";
        EXPECT_EQ(box->standardButtons(), c.buttons == ui::MsgButtons::OkOnly
                                              ? QMessageBox::Ok
                                              : QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_EQ(box->icon(),
                  c.icon == ui::MsgIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Ok));
        EXPECT_FALSE(box->windowIcon().isNull());
        switch (c.press) {
            case Press::Ok:
                box->button(QMessageBox::Ok)->click();
                break;
            case Press::Cancel:
                box->button(QMessageBox::Cancel)->click();
                break;
            case Press::CloseBox:
                box->close();
                break;
        }
    });
    const ui::MsgResult result =
        toolkit.MsgBox("Layer <None> not found", c.buttons, c.icon, c.title);
    EXPECT_TRUE(seen);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(FindShown<QMessageBox>(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, QtMessageBoxTest,
    ::testing::Values(BoxCase{"OkOnlyDefaultTitle", ui::MsgButtons::OkOnly, ui::MsgIcon::None, "",
                              Press::Ok, "Velorin", ui::MsgResult::Ok},
                      BoxCase{"CriticalOk", ui::MsgButtons::OkOnly, ui::MsgIcon::Critical, "",
                              Press::Ok, "Velorin", ui::MsgResult::Ok},
                      BoxCase{"OkOnlyClosed", ui::MsgButtons::OkOnly, ui::MsgIcon::None, "",
                              Press::CloseBox, "Velorin", ui::MsgResult::Ok},
                      BoxCase{"PausedOk", ui::MsgButtons::OkCancel, ui::MsgIcon::None, "Paused",
                              Press::Ok, "Paused", ui::MsgResult::Ok},
                      BoxCase{"PausedCancel", ui::MsgButtons::OkCancel, ui::MsgIcon::None, "Paused",
                              Press::Cancel, "Paused", ui::MsgResult::Cancel},
                      BoxCase{"OkCancelClosedIsCancel", ui::MsgButtons::OkCancel, ui::MsgIcon::None,
                              "", Press::CloseBox, "Velorin", ui::MsgResult::Cancel}),
    [](const ::testing::TestParamInfo<BoxCase>& param) { return std::string(param.param.name); });

// ---- pumping, sleeping and Esc

// A plain window standing for the map window: key presses go to it while no
// dialog of ours is up.
class QtEscTest : public QtToolkitTest {
  protected:
    QtEscTest() {
        mapWindow.resize(200, 100);
        mapWindow.show();
        QObject::connect(&button, &QPushButton::clicked, [this] { ++buttonClicks; });
        button.setParent(&mapWindow);
        button.show();
    }

    void PostKey(int key, bool autoRepeat = false) {
        QCoreApplication::postEvent(&mapWindow, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier,
                                                              QString(), autoRepeat));
        QCoreApplication::postEvent(
            &mapWindow,
            new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, QString(), autoRepeat));
    }

    QWidget mapWindow;
    QPushButton button{"Zoom and Flash"};
    int buttonClicks = 0;
};

TEST_F(QtEscTest, EachEscPressIsTakenByExactlyOneCheck) {
    EXPECT_FALSE(toolkit.TakeEscPress());
    PostKey(Qt::Key_Escape);
    EXPECT_TRUE(toolkit.TakeEscPress());
    EXPECT_FALSE(toolkit.TakeEscPress());
    PostKey(Qt::Key_Escape);
    PostKey(Qt::Key_Escape);
    EXPECT_TRUE(toolkit.TakeEscPress());
    EXPECT_TRUE(toolkit.TakeEscPress());
    EXPECT_FALSE(toolkit.TakeEscPress());
}

TEST_F(QtEscTest, AHeldEscRepeatingCountsOnce) {
    PostKey(Qt::Key_Escape);
    PostKey(Qt::Key_Escape, true);
    PostKey(Qt::Key_Escape, true);
    EXPECT_TRUE(toolkit.TakeEscPress());
    EXPECT_FALSE(toolkit.TakeEscPress());
}

TEST_F(QtEscTest, AnEscPressedDuringASleepIsNoticedAtTheNextCheck) {
    bool timerRan = false;
    QTimer::singleShot(0, [&timerRan] { timerRan = true; });
    // The key arrives from outside while the thread sleeps. The event is made
    // here: Qt objects belong to the thread that makes them.
    auto press = std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    std::thread presser([this, event = press.release()] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        QCoreApplication::postEvent(&mapWindow, event);
    });
    toolkit.Sleep(40);
    presser.join();
    EXPECT_FALSE(timerRan) << "a sleep processes no event";
    EXPECT_TRUE(toolkit.TakeEscPress());
    EXPECT_TRUE(timerRan);
}

TEST_F(QtEscTest, AnEscWhileNoRunPumpsIsNobodysCancelRequest) {
    PostKey(Qt::Key_Escape);
    QCoreApplication::processEvents();  // the application's own loop, idle
    EXPECT_FALSE(toolkit.TakeEscPress());
}

TEST_F(QtEscTest, WhilePumpingOtherInputIsSwallowedSoNothingReEnters) {
    QTest::mouseClick(&button, Qt::LeftButton);
    ASSERT_EQ(buttonClicks, 1) << "clicks work while nothing runs";
    const QPoint centre = button.rect().center();
    QCoreApplication::postEvent(
        &button, new QMouseEvent(QEvent::MouseButtonPress, centre, centre, Qt::LeftButton,
                                 Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        &button, new QMouseEvent(QEvent::MouseButtonRelease, centre, centre, Qt::LeftButton,
                                 Qt::NoButton, Qt::NoModifier));
    PostKey(Qt::Key_Space);
    bool timerRan = false;
    QTimer::singleShot(0, [&timerRan] { timerRan = true; });
    toolkit.DoEvents();
    EXPECT_TRUE(timerRan) << "DoEvents processes pending events";
    EXPECT_EQ(buttonClicks, 1) << "a click during a run does not reach the button";
    PostKey(Qt::Key_Escape);
    toolkit.DoEvents();
    EXPECT_TRUE(toolkit.TakeEscPress()) << "DoEvents counts Esc as well";
}

TEST_F(QtEscTest, EscInADialogOrABoxOfOursIsTheirsNotACancelRequest) {
    SmallForm form(toolkit);
    form.Fill();
    WhenLoopRuns([] {
        QDialog* dialog = ShownDialog("frmEveryKind");
        ASSERT_NE(dialog, nullptr);
        QTest::keyClick(dialog->findChild<QComboBox*>("cboLyr1"), Qt::Key_Escape);
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    });
    toolkit.ShowModal(form.Window());
    WhenLoopRuns([] {
        if (QMessageBox* box = FindShown<QMessageBox>()) {
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
    EXPECT_EQ(toolkit.MsgBox("Paused", ui::MsgButtons::OkCancel, ui::MsgIcon::None, "Paused"),
              ui::MsgResult::Cancel);
    EXPECT_FALSE(toolkit.TakeEscPress());
}

TEST_F(QtEscTest, TheHookRunsBeforeEverySleepSoAFlashCanBeShownDuringIt) {
    int hookRuns = 0;
    toolkit.OnBeforeSleep([&hookRuns] { ++hookRuns; });
    toolkit.Sleep(1);
    toolkit.Sleep(-5);  // a negative wait never blocks, but the flash was drawn
    EXPECT_EQ(hookRuns, 2);
}

// ---- numbers

class QtNumbersTest : public ::testing::Test {
  protected:
    QtNumbersTest() : m_previous(QLocale()) {}
    ~QtNumbersTest() override { QLocale::setDefault(m_previous); }
    QtNumbersTest(const QtNumbersTest&) = delete;
    QtNumbersTest(QtNumbersTest&&) = delete;
    QtNumbersTest& operator=(const QtNumbersTest&) = delete;
    QtNumbersTest& operator=(QtNumbersTest&&) = delete;

    QtToolkit toolkit;

  private:
    QLocale m_previous;
};

struct ParseCase {
    const char* locale;
    const char* text;
    std::optional<double> value;
};

class QtParseNumberTest : public QtNumbersTest, public ::testing::WithParamInterface<ParseCase> {};

TEST_P(QtParseNumberTest, ParsesInTheUsersLocale) {
    QLocale::setDefault(QLocale(QString::fromLatin1(GetParam().locale)));
    EXPECT_EQ(toolkit.ParseNumber(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, QtParseNumberTest,
    ::testing::Values(
        ParseCase{"en_US", "1.5", 1.5}, ParseCase{"en_US", "  300 ", 300.0},
        ParseCase{"en_US", "-0.25", -0.25}, ParseCase{"en_US", "2e3", 2000.0},
        ParseCase{"en_US", "1,500", std::nullopt}, ParseCase{"en_US", "1,5", std::nullopt},
        ParseCase{"en_US", "", std::nullopt}, ParseCase{"en_US", "   ", std::nullopt},
        ParseCase{"en_US", "abc", std::nullopt}, ParseCase{"en_US", "1.5x", std::nullopt},
        ParseCase{"en_US", "nan", std::nullopt}, ParseCase{"en_US", "inf", std::nullopt},
        ParseCase{"en_US", "1e999", std::nullopt}, ParseCase{"de_DE", "1,5", 1.5},
        ParseCase{"de_DE", " 2,25 ", 2.25}, ParseCase{"de_DE", "1.500", std::nullopt},
        ParseCase{"de_DE", "1.5", std::nullopt}, ParseCase{"de_DE", "1.500,5", std::nullopt},
        // As these locales show numbers: an exponent of their own, a sign with
        // a direction mark, their own digits.
        ParseCase{"sv_SE", "1\u00d710^\u221205", 1e-5}, ParseCase{"sv_SE", "1\u00d710^+20", 1e20},
        ParseCase{"ar_EG", "\u061c-\u0662\u066b\u0665", -2.5},
        ParseCase{"fa_IR", "\u06f1\u00d7\u06f1\u06f0^\u200e\u2212\u06f0\u06f5", 1e-5},
        ParseCase{"sv_SE", "1,5\u00d710", std::nullopt}, ParseCase{"ar_EG", "1,5", std::nullopt}));

struct FormatCase {
    const char* locale;
    double value;
    const char* text;
};

class QtFormatNumberTest : public QtNumbersTest,
                           public ::testing::WithParamInterface<FormatCase> {};

TEST_P(QtFormatNumberTest, FormatsWithFifteenDigitsAndNoGroupSeparators) {
    QLocale::setDefault(QLocale(QString::fromLatin1(GetParam().locale)));
    EXPECT_EQ(toolkit.FormatNumber(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, QtFormatNumberTest,
    ::testing::Values(FormatCase{"en_US", 1.5, "1.5"}, FormatCase{"en_US", 300.0, "300"},
                      FormatCase{"en_US", 0.1 + 0.2, "0.3"},
                      FormatCase{"en_US", 1234567.5, "1234567.5"}, FormatCase{"en_US", -0.0, "0"},
                      FormatCase{"de_DE", 1.5, "1,5"}, FormatCase{"de_DE", 1234567.5, "1234567,5"},
                      FormatCase{"de_DE", 0.1 + 0.2, "0,3"}));

TEST_F(QtNumbersTest, WhatItFormatsItParsesBackInEveryLocale) {
    const double values[] = {1.5,
                             1234567.25,
                             0.001,
                             2.5e-7,
                             123456789012345.0,
                             1e20,
                             -2.5,
                             1e-5,
                             -1e-300,
                             5e-324,
                             -1e300,
                             std::numeric_limits<double>::max()};
    for (const QLocale& locale : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                          QLocale::AnyTerritory)) {
        QLocale::setDefault(locale);
        for (const double value : values) {
            const std::string shown = toolkit.FormatNumber(value);
            const std::optional<double> back = toolkit.ParseNumber(shown);
            ASSERT_TRUE(back.has_value()) << locale.name().toStdString() << " " << shown;
            EXPECT_LE(std::fabs(*back - value), std::fabs(value) * 1e-14)
                << locale.name().toStdString() << " " << shown;
            EXPECT_EQ(toolkit.FormatNumber(*back), shown) << locale.name().toStdString();
        }
    }
}

}  // namespace
}  // namespace velorin::qt
