#include "zoomflash/related_where_clause.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "host/codes.h"
#include "host/error.h"
#include "host/field_value.h"

namespace velorin::zoomflash {
namespace {

struct ClauseCase {
    const char* name;
    std::int32_t fieldType;
    const char* key;
    const char* clause;
};

class RelatedClause : public ::testing::TestWithParam<ClauseCase> {};

TEST_P(RelatedClause, QuotesTextKeysAndLeavesNumbersBare) {
    const ClauseCase& c = GetParam();
    EXPECT_EQ(RelatedWhereClause("NerroID", c.fieldType, c.key), c.clause);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RelatedClause,
    ::testing::Values(
        ClauseCase{"NumberAgainstString", host::esriFieldTypeString, "12", "NerroID = '12'"},
        ClauseCase{"NumberAgainstInteger", host::esriFieldTypeInteger, "12", "NerroID = 12"},
        ClauseCase{"NegativeDecimalAgainstDouble", host::esriFieldTypeDouble, "-1.5",
                   "NerroID = -1.5"},
        ClauseCase{"ExponentAgainstSingle", host::esriFieldTypeSingle, "1e+20", "NerroID = 1e+20"},
        ClauseCase{"QuoteDoubled", host::esriFieldTypeString, "O'Brien", "NerroID = 'O''Brien'"},
        ClauseCase{"SqlLikeTextStaysAKey", host::esriFieldTypeString, "x' OR 'a'='a",
                   "NerroID = 'x'' OR ''a''=''a'"},
        ClauseCase{"EmptyText", host::esriFieldTypeString, "", "NerroID = ''"},
        ClauseCase{"SpacesAndPlusLeftOut", host::esriFieldTypeInteger, " +12  ", "NerroID = 12"}),
    [](const ::testing::TestParamInfo<ClauseCase>& param) { return param.param.name; });

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
