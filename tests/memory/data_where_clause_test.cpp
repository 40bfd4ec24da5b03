#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/host.h"
#include "platform/memory/feature_class.h"
#include "platform/memory/where_clause.h"
#include "platform/objects/query_filter.h"
#include "tests/memory/data_fixture.h"

namespace velorin::memory {
namespace {

using testing::MakeSampleClass;
using testing::OidsAt;
using testing::OidsOf;

struct MatchCase {
    const char* clause;
    std::vector<std::int32_t> oids;
};

void PrintTo(const MatchCase& c, std::ostream* os) { *os << c.clause; }

class WhereClauseMatches : public ::testing::TestWithParam<MatchCase> {
  protected:
    std::shared_ptr<HostContext> m_context = std::make_shared<HostContext>();
    std::shared_ptr<FeatureClass> m_class = MakeSampleClass(m_context);
};

TEST_P(WhereClauseMatches, FindsExactlyTheRowsItDescribesInOidOrder) {
    const RowStore& store = *m_class->Store();
    const WhereClause clause = store.Compile(GetParam().clause);
    EXPECT_EQ(OidsAt(store, store.Scan(clause)), GetParam().oids) << "full scan";
    EXPECT_EQ(OidsAt(store, store.Find(clause)), GetParam().oids) << "through the index";
    auto filter = std::make_shared<QueryFilter>(m_context, GetParam().clause);
    EXPECT_EQ(OidsOf(m_class->Search(filter, false)), GetParam().oids) << "feature class search";
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, WhereClauseMatches,
    ::testing::Values(
        MatchCase{"", {1, 2, 3, 4, 5}}, MatchCase{"   ", {1, 2, 3, 4, 5}},
        MatchCase{"NerroID = 12", {1, 4}}, MatchCase{"nerroid = 12.0", {1, 4}},
        MatchCase{"\"NERROID\" = 13", {2}}, MatchCase{"  NerroID=12  ", {1, 4}},
        MatchCase{"12 = NerroID", {1, 4}}, MatchCase{"13 < NerroID", {5}},
        MatchCase{"NerroID <> 12", {2, 5}}, MatchCase{"NerroID < 13", {1, 4}},
        MatchCase{"NerroID <= 13", {1, 2, 4}}, MatchCase{"NerroID > 12", {2, 5}},
        MatchCase{"NerroID >= 20", {5}}, MatchCase{"NerroID = 12.5", {}},
        MatchCase{"Name = 'A'", {1}}, MatchCase{"Name = 'a'", {}},
        MatchCase{"Name = 'O''Brien'", {4}}, MatchCase{"Name = 'x'' OR ''a''=''a'", {3}},
        MatchCase{"Name >= 'b'", {2, 3}}, MatchCase{"Name <> 'A'", {2, 3, 4}},
        MatchCase{"NerroID IS NULL", {3}}, MatchCase{"NerroID IS NOT NULL", {1, 2, 4, 5}},
        MatchCase{"name is null", {5}}, MatchCase{"NOT NerroID = 12", {2, 5}},
        MatchCase{"NOT NOT NerroID = 12", {1, 4}},
        MatchCase{"NOT (NerroID = 12 OR NerroID IS NULL)", {2, 5}},
        MatchCase{"NerroID = 12 AND Name = 'A'", {1}},
        MatchCase{"nerroid = 12 and name = 'A'", {1}},
        MatchCase{"NerroID = 12 OR Name = 'b'", {1, 2, 4}},
        MatchCase{"NerroID = 13 OR NerroID = 20 AND Name = 'A'", {2}},
        MatchCase{"(NerroID = 13 OR NerroID = 20) AND Name IS NULL", {5}},
        MatchCase{"Name = 'A' AND NerroID = 12", {1}}, MatchCase{"Area = 0.1", {1, 3}},
        MatchCase{"Flow = -3", {3}}, MatchCase{"Flow = 0", {4}}, MatchCase{"Flow = -0", {4}},
        MatchCase{"Flow > 1e19", {5}}, MatchCase{"Flow >= .5", {1, 5}},
        MatchCase{"Born = '2003-01-29'", {1}}, MatchCase{"Born > '2003-01-30'", {2, 5}},
        MatchCase{"Born = '2003-01-30 06:30:05'", {2}}, MatchCase{"Small = -4", {5}},
        MatchCase{"OBJECTID = 3", {3}}, MatchCase{"OBJECTID >= 4", {4, 5}},
        MatchCase{"Small < NerroID", {1, 2, 5}}, MatchCase{"Shape IS NULL", {4}},
        MatchCase{"Shape IS NOT NULL", {1, 2, 3, 5}}));

struct ErrorCase {
    const char* clause;
    const char* reason;  // a part of the description after the quoted clause
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.clause; }

class WhereClauseRejects : public ::testing::TestWithParam<ErrorCase> {
  protected:
    std::shared_ptr<HostContext> m_context = std::make_shared<HostContext>();
    std::shared_ptr<FeatureClass> m_class = MakeSampleClass(m_context);
};

TEST_P(WhereClauseRejects, RaisesInvalidSqlQuotingTheClause) {
    auto filter = std::make_shared<QueryFilter>(m_context, GetParam().clause);
    try {
        m_class->Search(filter, false);
        FAIL() << "no error for " << GetParam().clause;
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_INVALID_SQL);
        const std::string quoted =
            std::string("Invalid where clause \"") + GetParam().clause + "\": ";
        EXPECT_EQ(error.Description().rfind(quoted, 0), 0U) << error.Description();
        EXPECT_NE(error.Description().find(GetParam().reason), std::string::npos)
            << error.Description();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, WhereClauseRejects,
    ::testing::Values(
        ErrorCase{"NerroID = 'x'", "text compared with numeric field NerroID"},
        ErrorCase{"NerroID = '12'", "text compared with numeric field NerroID"},
        ErrorCase{"Name = 12", "number compared with text field Name"},
        ErrorCase{"Born = 2003", "number compared with date field Born"},
        ErrorCase{"Born = '2003-02-30'", "is not a date for date field Born"},
        ErrorCase{"Born = 'yesterday'", "is not a date"},
        ErrorCase{"Nope = 1", "unknown field Nope"}, ErrorCase{"NerroID = ", "end of clause"},
        ErrorCase{"NerroID 12", "expected a comparison operator after NerroID"},
        ErrorCase{"Name = 'abc", "text starting at position 8 is not closed"},
        ErrorCase{"\"Name = 1", "quoted field name"}, ErrorCase{"\"\" = 1", "empty field name"},
        ErrorCase{"(NerroID = 1", "expected ) but found end of clause"},
        ErrorCase{"NerroID = 1)", "unexpected ) at position 12"},
        ErrorCase{"NerroID == 1", "expected a field name or a value but found ="},
        ErrorCase{"NerroID != 1", "unexpected character '!'"},
        ErrorCase{"NerroID = NULL", "IS NULL or IS NOT NULL"},
        ErrorCase{"NerroID IS 1", "expected NULL"},
        ErrorCase{"12 IS NULL", "must follow a field name"},
        ErrorCase{"Name = 'x' OR 'a'='a'", "names no field"}, ErrorCase{"1 = 1", "names no field"},
        ErrorCase{"Shape = 1", "(geometry) cannot be compared"},
        ErrorCase{"NerroID = Name", "compared with field Name"},
        ErrorCase{"NerroID = 1e999", "out of range"},
        ErrorCase{"NerroID = 12abc", "malformed number"},
        ErrorCase{"NerroID = 1 AND", "end of clause"}, ErrorCase{"AND NerroID = 1", "found AND"},
        ErrorCase{"NerroID = - 'a'", "expected a number after -"},
        ErrorCase{"NerroID = 1 NerroID = 2", "unexpected NerroID at position 13"},
        ErrorCase{"()", "found )"}));

TEST(WhereClause, NestingBeyondTheLimitIsAnErrorNotACrash) {
    auto context = std::make_shared<HostContext>();
    auto sample = MakeSampleClass(context);
    std::string parens(5000, '(');
    std::string nots;
    for (int i = 0; i < 5000; ++i) nots += "NOT ";
    for (const std::string& clause : {parens + "NerroID = 1", nots + "NerroID = 1"}) {
        try {
            sample->Store()->Compile(clause);
            FAIL() << "no error";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), host::E_HOST_INVALID_SQL);
            EXPECT_NE(error.Description().find("nested more than 200"), std::string::npos);
        }
    }
}

TEST(WhereClause, LongChainsOfTermsEvaluateWithoutDeepRecursion) {
    auto context = std::make_shared<HostContext>();
    auto sample = MakeSampleClass(context);
    std::string clause = "NerroID = 12";
    for (int i = 0; i < 50000; ++i) clause += " AND Name IS NOT NULL";
    const RowStore& store = *sample->Store();
    EXPECT_EQ(OidsAt(store, store.Find(store.Compile(clause))), (std::vector<std::int32_t>{1, 4}));
}

TEST(WhereClause, BothJoinsTheDefinitionAndTheFilterWithAnd) {
    auto context = std::make_shared<HostContext>();
    auto sample = MakeSampleClass(context);
    const RowStore& store = *sample->Store();
    const WhereClause both = WhereClause::Both(store.Compile("NerroID = 12 OR NerroID = 13"),
                                               store.Compile("Name <> 'A'"));
    EXPECT_EQ(OidsAt(store, store.Find(both)), (std::vector<std::int32_t>{2, 4}));
    EXPECT_TRUE(WhereClause::Both(WhereClause(), WhereClause()).IsEmpty());
}

TEST(WhereClause, EqualityAnywhereInTheTopLevelAndIsAnsweredThroughTheIndex) {
    auto context = std::make_shared<HostContext>();
    auto sample = MakeSampleClass(context);
    const RowStore& store = *sample->Store();
    EXPECT_EQ(store.IndexCount(), 0U);
    store.Find(store.Compile("NerroID > 1 AND Name = 'A'"));
    EXPECT_EQ(store.IndexCount(), 1U) << "the text equality used the Name index";
    store.Find(store.Compile("NerroID = 1 OR Name = 'A'"));
    EXPECT_EQ(store.IndexCount(), 1U) << "an OR cannot be answered through one index";
    store.Find(store.Compile("NerroID = 12"));
    EXPECT_EQ(store.IndexCount(), 2U);
}

TEST(WhereClause, IndexIsRebuiltAfterFeaturesAreAdded) {
    auto context = std::make_shared<HostContext>();
    auto sample = MakeSampleClass(context);
    const RowStore& store = *sample->Store();
    const WhereClause twelve = store.Compile("NerroID = 12");
    EXPECT_EQ(OidsAt(store, store.Find(twelve)), (std::vector<std::int32_t>{1, 4}));
    const host::FieldValue null;
    sample->AddFeature({12, "late", null, null, null, null}, MakePoint(9, 9));
    EXPECT_EQ(OidsAt(store, store.Find(twelve)), (std::vector<std::int32_t>{1, 4, 6}));
}

// 64-bit keys beyond 2^53, where neighbouring whole numbers share one double.
TEST(WhereClauseBigIntegers, MatchTheirKeyExactly) {
    const auto context = std::make_shared<HostContext>();
    const auto fields = MakeFields(context, {{"Key", host::esriFieldTypeBigInteger, {}}});
    FeatureClass big(context, "Big", host::esriGeometryPoint, host::esriFTSimple, fields);
    big.AddFeature({std::int64_t{9007199254740992}}, MakePoint(0, 0));
    big.AddFeature({std::int64_t{9007199254740993}}, MakePoint(1, 1));
    big.AddFeature({std::int64_t{-9223372036854775807} - 1}, MakePoint(2, 2));
    const RowStore& store = *big.Store();
    for (const auto& [text, oids] : std::vector<std::pair<std::string, std::vector<std::int32_t>>>{
             {"Key = 9007199254740993", {2}},
             {"Key = 9007199254740992", {1}},
             {"Key > 9007199254740992", {2}},
             {"Key = -9223372036854775808", {3}}}) {
        const WhereClause clause = store.Compile(text);
        EXPECT_EQ(OidsAt(store, store.Scan(clause)), oids) << text;
        EXPECT_EQ(OidsAt(store, store.Find(clause)), oids) << text << " through the index";
    }
}

}  // namespace
}  // namespace velorin::memory
