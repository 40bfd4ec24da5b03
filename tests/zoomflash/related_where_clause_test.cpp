#include "zoomflash/related_where_clause.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "host/codes.h"
#include "host/error.h"
#include "host/field_value.h"

namespace velorin::zoomflash {
namespace {

// The clause forms, with the hosts evaluating them, are in zoom_flash_feature_test.cpp.

class NonNumberKey : public ::testing::TestWithParam<const char*> {};

TEST_P(NonNumberKey, AgainstANumericFieldRaisesNamingKeyAndField) {
    try {
        RelatedWhereClause("JunctionID", host::esriFieldTypeInteger, GetParam());
        ADD_FAILURE() << "no error for key " << GetParam();
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), 13);
        EXPECT_NE(error.Description().find(std::string("'") + GetParam() + "'"), std::string::npos);
        EXPECT_NE(error.Description().find("JunctionID"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, NonNumberKey,
                         ::testing::Values("", "abc", "12 OR 1=1", "1; DROP", "1 2", "+-12", "+ 12",
                                           "++12", "- 12", "1e", ".", "-", "1.2.3", "0x10", "nan",
                                           "inf", "2003-01-29", "\t12"));

TEST(RelatedClauseField, IsQuotedOnlyWhenItIsNotAPlainIdentifier) {
    const std::pair<const char*, const char*> names[] = {
        {"NerroID", "NerroID = 7"},
        {"_id2", "_id2 = 7"},
        {"my key", "\"my key\" = 7"},
        {"1st", "\"1st\" = 7"},
        {"and", "\"and\" = 7"},
        {"Null", "\"Null\" = 7"},
        {"say \"hi\"", "\"say \"\"hi\"\"\" = 7"},
        {"Größe", "\"Größe\" = 7"},
    };
    for (const auto& [name, clause] : names) {
        EXPECT_EQ(RelatedWhereClause(name, host::esriFieldTypeInteger, std::int32_t{7}), clause);
    }
}

TEST(RelatedClauseKey, DoubleKeyIsWrittenToReadBackAsThatVeryDouble) {
    EXPECT_EQ(RelatedWhereClause("K", host::esriFieldTypeDouble, 0.1 + 0.2),
              "K = 0.30000000000000004");
    EXPECT_EQ(RelatedWhereClause("K", host::esriFieldTypeInteger, 100000.0F), "K = 100000");
    EXPECT_EQ(RelatedWhereClause("K", host::esriFieldTypeString, 0.1 + 0.2), "K = '0.3'");
}

}  // namespace
}  // namespace velorin::zoomflash
