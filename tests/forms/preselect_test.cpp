#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "forms/mod_utils_forms.h"
#include "tests/forms/list_window.h"

namespace velorin::forms {
namespace {

struct PreselectCase {
    const char* name;
    std::vector<std::string> entries;
    std::optional<NameList> preferences;
    int expectedIndex;
};

class Preselection : public ::testing::TestWithParam<PreselectCase> {};

TEST_P(Preselection, MakesTheEarliestPreferenceCurrentAndFiresClickOnce) {
    const PreselectCase& c = GetParam();
    ui::Window window(testing::kListLayout);
    ui::ComboBox& list = window.ComboBox("cboList");
    for (const std::string& entry : c.entries) list.AddItem(entry);
    int clicks = 0;
    list.OnClick([&] { ++clicks; });

    Preselect(list, c.preferences);

    EXPECT_EQ(list.ListIndex(), c.expectedIndex);
    EXPECT_EQ(clicks, c.expectedIndex >= 0 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Preselection,
    ::testing::Values(
        PreselectCase{"EarlierPreferenceBeatsLaterEntry", {"B", "A", "b"}, NameList{"A", "B"}, 1},
        PreselectCase{"LastEntryOfTheSamePreferenceWins", {"B", "b"}, NameList{"A", "B"}, 1},
        PreselectCase{"LaterPreferenceNeverDisplacesEarlier", {"A", "B"}, NameList{"A", "B"}, 0},
        PreselectCase{"NoMatchGivesFirstEntry", {"Streams", "Roads"}, NameList{"Catchment"}, 0},
        PreselectCase{"AbsentPreferencesGiveFirstEntry", {"Streams", "Roads"}, std::nullopt, 0},
        PreselectCase{"EmptyPreferencesGiveFirstEntry", {"Streams", "Roads"}, NameList{}, 0},
        PreselectCase{"LetterCaseIgnored", {"Streams", "CATCHMENT"}, NameList{"catchment"}, 1},
        PreselectCase{"NoneTakesPartLikeAnyEntry",
                      {"<None>", "NerroJunction"},
                      NameList{"<None>", "NerroJunction"},
                      0},
        PreselectCase{
            "DataModelOrderDecides",
            {"Streams", "NerroJunction", "Watershed"},
            NameList{"Catchment", "Watershed", "Waterbody", "MonitoringPoint", "NerroJunction"},
            2},
        PreselectCase{"EmptyListGetsNoCurrentEntry", {}, NameList{"A"}, -1}),
    [](const ::testing::TestParamInfo<PreselectCase>& param) { return param.param.name; });

}  // namespace
}  // namespace velorin::forms
