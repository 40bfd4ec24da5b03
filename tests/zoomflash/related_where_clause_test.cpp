#include "zoomflash/related_where_clause.h"

#include <gtest/gtest.h>

#include "host/codes.h"
#include "host/error.h"

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
        ClauseCase{"EmptyText", host::esriFieldTypeString, "", "NerroID = ''"}),
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
                         ::testing::Values("", "abc", "12 OR 1=1", "1; DROP", " 12", "12 ", "+12",
                                           "1e", ".", "-", "1.2.3", "0x10", "nan", "inf",
                                           "2003-01-29"));

}  // namespace
}  // namespace velorin::zoomflash
