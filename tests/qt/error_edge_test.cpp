// The error edge as a person meets it, on every toolkit that runs here: a button
// whose handler raises shows one box with what it raised, and the window stays
// open for the next press. (The Win32 toolkit plays the same table under Wine.)
#include <gtest/gtest.h>

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <string>
#include <vector>

#include "platform/qt/qt_toolkit.h"
#include "platform/scripted/scripted_user.h"
#include "tests/qt/every_kind_layout.h"
#include "tests/qt/qt_harness.h"
#include "tests/ui/edge_cases.h"
#include "ui/current_toolkit.h"
#include "ui/window.h"

namespace velorin::qt {
namespace {

using testing::FindShown;
using ui::testing::kEdgeCases;

enum class Kit { Scripted, Qt };

// The person presses OK once per row of the table, answering each box, then
// closes the window with its close box. Returns the boxes' texts.
std::vector<std::string> PressForEveryRow(Kit kit, ui::Window& window) {
    std::vector<std::string> texts;
    if (kit == Kit::Scripted) {
        scripted::ScriptedUser user;
        const ui::ToolkitScope scope(user);
        scripted::Scene& scene = user.OnShow(window.Name());
        for (std::size_t row = 0; row < kEdgeCases.size(); ++row) {
            scene.Press("cmdOK");
        }
        scene.Close();
        user.ShowModal(window);
        for (const scripted::MessageBoxRecord& box : user.MessageBoxes()) {
            texts.push_back(box.text);
        }
        return texts;
    }
    QtToolkit toolkit;
    const ui::ToolkitScope scope(toolkit);
    const testing::Watchdog watchdog;
    testing::WhenLoopRuns([&texts, &window] {
        auto* dialog = FindShown<QDialog>(QString::fromStdString(window.Name()));
        ASSERT_NE(dialog, nullptr);
        for (const ui::testing::EdgeCase& row : kEdgeCases) {
            testing::WhenLoopRuns([&texts] {
                if (auto* box = FindShown<QMessageBox>()) {
                    texts.push_back(box->text().toStdString());
                    box->button(QMessageBox::Ok)->click();
                }
            });
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
            EXPECT_TRUE(dialog->isVisible()) << "closed by " << row.raised;
        }
        dialog->close();
    });
    toolkit.ShowModal(window);
    return texts;
}

class ErrorEdge : public ::testing::TestWithParam<Kit> {};

TEST_P(ErrorEdge, WhatAPersonsActionRaisesIsShownAndTheWindowStaysOpen) {
    ui::Window window(testing::kEveryKindLayout);
    std::size_t presses = 0;
    window.Button("cmdOK").OnClick([&presses] { kEdgeCases.at(presses++).raise(); });
    std::vector<std::string> expected;
    for (const ui::testing::EdgeCase& row : kEdgeCases) {
        expected.emplace_back(row.box);
    }
    EXPECT_EQ(PressForEveryRow(GetParam(), window), expected);
    EXPECT_EQ(presses, kEdgeCases.size());
    EXPECT_FALSE(window.Loaded()) << "the close box, pressed last, unloads the window";
}

INSTANTIATE_TEST_SUITE_P(Toolkits, ErrorEdge, ::testing::Values(Kit::Scripted, Kit::Qt),
                         [](const ::testing::TestParamInfo<Kit>& kit) {
                             return kit.param == Kit::Scripted ? "Scripted" : "Qt";
                         });

}  // namespace
}  // namespace velorin::qt
