#include "ui/combo_box.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/ui/sample_layout.h"
#include "ui/runtime_error.h"
#include "ui/window.h"

namespace velorin::ui {
namespace {

class ComboBoxTest : public ::testing::Test {
  protected:
    ComboBoxTest() {
        m_list.AddItem("Catchment");
        m_list.AddItem("Watershed");
        m_list.OnClick([this] { ++m_clicks; });
    }

    Window m_window{testing::kSampleLayout};
    ComboBox& m_list = m_window.ComboBox("cboLyr1");
    int m_clicks = 0;
};

TEST_F(ComboBoxTest, ProgrammaticSelectionFiresClickEveryTimeEvenForTheSameEntry) {
    m_list.SetListIndex(1);
    m_list.SetListIndex(1);
    EXPECT_EQ(m_clicks, 2);
    EXPECT_EQ(m_list.Text(), "Watershed");
}

TEST_F(ComboBoxTest, ClearingTheSelectionFiresNoClickAndLeavesNoText) {
    m_list.SetListIndex(0);
    m_list.SetListIndex(-1);
    EXPECT_EQ(m_clicks, 1);
    EXPECT_EQ(m_list.ListIndex(), -1);
    EXPECT_EQ(m_list.Text(), "");
}

TEST_F(ComboBoxTest, InsertingAtPositionZeroShiftsTheCurrentEntrySoItsTextStays) {
    m_list.SetListIndex(1);
    m_list.AddItem("<None>", 0);
    EXPECT_EQ(m_list.ListIndex(), 2);
    EXPECT_EQ(m_list.Text(), "Watershed");
    EXPECT_EQ(m_list.List(0), "<None>");
    EXPECT_EQ(m_clicks, 1) << "an insertion is no selection";
}

TEST_F(ComboBoxTest, InsertingAfterTheCurrentEntryKeepsItsIndex) {
    m_list.SetListIndex(0);
    m_list.AddItem("Waterbody", 1);
    EXPECT_EQ(m_list.ListIndex(), 0);
    EXPECT_EQ(m_list.Text(), "Catchment");
    EXPECT_EQ(m_list.ListCount(), 3);
    EXPECT_EQ(m_list.List(1), "Waterbody");
}

TEST_F(ComboBoxTest, InsertingIntoAListWithoutCurrentEntryLeavesNoneCurrent) {
    m_list.AddItem("<None>", 0);
    EXPECT_EQ(m_list.ListIndex(), -1);
}

TEST_F(ComboBoxTest, ClearRemovesEntriesAndCurrentEntryWithoutClick) {
    m_list.SetListIndex(1);
    m_list.Clear();
    EXPECT_EQ(m_list.ListCount(), 0);
    EXPECT_EQ(m_list.ListIndex(), -1);
    EXPECT_EQ(m_list.Text(), "");
    EXPECT_EQ(m_clicks, 1);
}

TEST_F(ComboBoxTest, TheThirtyTwoThousandSevenHundredSixtyEighthEntryOverflows) {
    m_list.Clear();
    for (int i = 0; i < 32767; ++i) {
        m_list.AddItem("x");
    }
    EXPECT_EQ(m_list.ListCount(), 32767);
    try {
        m_list.AddItem("one too many", 0);
        FAIL() << "no overflow";
    } catch (const velorin::Error& error) {
        EXPECT_EQ(error.Number(), kErrOverflow);
    }
    EXPECT_THROW(m_list.AddItem("one too many"), velorin::Error);
    EXPECT_EQ(m_list.ListCount(), 32767);
    EXPECT_EQ(m_list.List(0), "x");
}

TEST_F(ComboBoxTest, AHandlerThatSelectsInItsOwnListIsNotReentered) {
    m_list.OnClick([this] {
        ++m_clicks;
        m_list.SetListIndex(0);
    });
    m_list.SetListIndex(1);
    EXPECT_EQ(m_clicks, 1);
    EXPECT_EQ(m_list.Text(), "Catchment");
}

TEST_F(ComboBoxTest, AHandlerMayRefillAnotherListWhoseHandlerThenRuns) {
    ComboBox& fields = m_window.ComboBox("cboFld1");
    std::string fieldPicked;
    fields.OnClick([&] { fieldPicked = fields.Text(); });
    m_list.OnClick([&] {
        fields.Clear();
        fields.AddItem(m_list.Text() + "ID");
        fields.SetListIndex(0);
    });
    m_list.SetListIndex(1);
    EXPECT_EQ(fieldPicked, "WatershedID");
    m_list.SetListIndex(0);
    EXPECT_EQ(fieldPicked, "CatchmentID");
    EXPECT_EQ(fields.ListCount(), 1);
}

TEST_F(ComboBoxTest, AHandlerMayReplaceItselfWhileRunning) {
    int replacementRuns = 0;
    m_list.OnClick([this, &replacementRuns] {
        m_list.OnClick([&replacementRuns] { ++replacementRuns; });
        ++m_clicks;
    });
    m_list.SetListIndex(0);
    m_list.SetListIndex(0);
    EXPECT_EQ(m_clicks, 1);
    EXPECT_EQ(replacementRuns, 1);
}

struct BadCall {
    const char* name;
    std::function<void(ComboBox&)> call;
    std::int32_t number;
};

class ComboBoxBadCall : public ComboBoxTest, public ::testing::WithParamInterface<BadCall> {};

TEST_P(ComboBoxBadCall, RaisesItsRunTimeErrorAndChangesNothing) {
    m_list.SetListIndex(1);
    try {
        GetParam().call(m_list);
        FAIL() << "no error";
    } catch (const velorin::Error& error) {
        EXPECT_EQ(error.Number(), GetParam().number);
        EXPECT_NE(error.Description().find("frmSample.cboLyr1"), std::string::npos)
            << error.Description();
    }
    EXPECT_EQ(m_list.ListCount(), 2);
    EXPECT_EQ(m_list.ListIndex(), 1);
    EXPECT_EQ(m_clicks, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Indices, ComboBoxBadCall,
    ::testing::Values(BadCall{"IndexPastTheEnd", [](ComboBox& l) { l.SetListIndex(2); },
                              kErrInvalidPropertyValue},
                      BadCall{"IndexBelowMinusOne", [](ComboBox& l) { l.SetListIndex(-2); },
                              kErrInvalidPropertyValue},
                      BadCall{"EntryPastTheEnd", [](ComboBox& l) { (void)l.List(2); },
                              kErrInvalidPropertyArrayIndex},
                      BadCall{"NegativeEntry", [](ComboBox& l) { (void)l.List(-1); },
                              kErrInvalidPropertyArrayIndex},
                      BadCall{"InsertPastTheEnd", [](ComboBox& l) { l.AddItem("x", 3); },
                              kErrInvalidProcedureCall},
                      BadCall{"InsertAtNegative", [](ComboBox& l) { l.AddItem("x", -1); },
                              kErrInvalidProcedureCall}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(ComboBoxTest, IndicesBeyondSixteenBitsOverflowInsteadOfWrapping) {
    // 65536 + 1 would wrap to 1, a valid entry.
    try {
        m_list.SetListIndex(65537);
        FAIL() << "no overflow";
    } catch (const velorin::Error& error) {
        EXPECT_EQ(error.Number(), kErrOverflow);
    }
    EXPECT_EQ(m_clicks, 0);
}

}  // namespace
}  // namespace velorin::ui
