#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/memory/cursors.h"
#include "platform/memory/feature_class.h"
#include "platform/memory/selection_set.h"
#include "platform/objects/query_filter.h"
#include "platform/objects/set.h"
#include "tests/memory/data_fixture.h"

namespace velorin::memory {
namespace {

using testing::MakeSampleClass;
using testing::OidsOf;

class FeatureClassTest : public ::testing::Test {
  protected:
    std::shared_ptr<QueryFilter> Filter(const std::string& clause) {
        return std::make_shared<QueryFilter>(m_context, clause);
    }

    std::shared_ptr<HostContext> m_context = std::make_shared<HostContext>();
    std::shared_ptr<FeatureClass> m_class = MakeSampleClass(m_context);
};

TEST_F(FeatureClassTest, CountsAgreeWithSearchesAndAnEmptyFilterMeansEveryRow) {
    std::shared_ptr<host::IFeatureClass> asClass = m_class;
    std::shared_ptr<host::ITable> asTable = m_class;
    EXPECT_EQ(asClass->FeatureCount(nullptr), 5);
    EXPECT_EQ(asClass->FeatureCount(Filter("")), 5);
    EXPECT_EQ(asTable->RowCount(Filter("NerroID = 12")), 2);
    EXPECT_EQ(asClass->FeatureCount(Filter("Name IS NULL")), 1);
    EXPECT_EQ(OidsOf(asTable->Search(nullptr, false)), (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
}

TEST_F(FeatureClassTest, TableRowsOfAFeatureClassAreFeaturesWithTheirShapes) {
    std::shared_ptr<host::ITable> asTable = m_class;
    auto cursor = asTable->Search(Filter("OBJECTID = 4 OR OBJECTID = 5"), false);
    auto withoutShape = host::As<host::IFeature>(cursor->NextRow());
    auto withShape = host::As<host::IFeature>(cursor->NextRow());
    ASSERT_TRUE(withoutShape && withShape);
    EXPECT_EQ(withoutShape->Shape(), nullptr);
    auto point = host::As<host::IPoint>(withShape->Shape());
    ASSERT_TRUE(point);
    EXPECT_EQ(point->X(), 4.0);
}

TEST_F(FeatureClassTest, RowsReadBackInTheirFieldsTypes) {
    auto feature = m_class->Search(Filter("OBJECTID = 1"), false)->NextFeature();
    ASSERT_TRUE(feature);
    auto fields = feature->Fields();
    EXPECT_EQ(feature->Value(fields->FindField("objectid")), host::FieldValue(host::ObjectId{1}));
    EXPECT_TRUE(feature->Value(fields->FindField("Shape")).IsNull());
    EXPECT_EQ(feature->Value(fields->FindField("NerroID")), host::FieldValue(std::int32_t{12}));
    EXPECT_EQ(feature->Value(fields->FindField("Area")), host::FieldValue(0.1F));
    EXPECT_EQ(feature->Value(fields->FindField("Small")), host::FieldValue(std::int16_t{1}));
    EXPECT_EQ(host::ToText(feature->Value(fields->FindField("Flow"))), "1.5");
    EXPECT_TRUE(feature->HasOID());
    try {
        feature->Value(fields->FieldCount());
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_INVALIDARG);
    }
}

TEST_F(FeatureClassTest, RecyclingCursorRefillsOneRowObject) {
    auto cursor = m_class->Search(nullptr, true);
    auto first = cursor->NextFeature();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->OID(), 1);
    auto second = cursor->NextFeature();
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(first->OID(), 2) << "the first handle now shows the refilled row";
}

TEST_F(FeatureClassTest, NonRecyclingCursorRowsStayValidAfterTheCursorMovesOn) {
    auto cursor = m_class->Search(nullptr, false);
    auto first = cursor->NextFeature();
    auto second = cursor->NextFeature();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.get(), second.get());
    cursor.reset();
    EXPECT_EQ(first->OID(), 1);
    EXPECT_EQ(host::ToText(first->Value(first->Fields()->FindField("Name"))), "A");
    EXPECT_EQ(second->OID(), 2);
}

TEST_F(FeatureClassTest, ExhaustedCursorKeepsAnsweringEmpty) {
    auto cursor = m_class->Search(Filter("NerroID = 20"), false);
    EXPECT_TRUE(cursor->NextFeature());
    EXPECT_FALSE(cursor->NextFeature());
    EXPECT_FALSE(cursor->NextFeature());
}

TEST_F(FeatureClassTest, AFilterOfAnotherMakeIsReadThroughItsInterface) {
    class ForeignFilter final : public host::IQueryFilter {
      public:
        std::string WhereClause() const override { return "Name = 'b'"; }
        void SetWhereClause(const std::string&) override {}
    };
    EXPECT_EQ(m_class->FeatureCount(std::make_shared<ForeignFilter>()), 1);
}

TEST_F(FeatureClassTest, ValuesThatDoNotFitTheirFieldAreRefusedAndNothingIsAdded) {
    const host::FieldValue null;
    struct Case {
        std::vector<host::FieldValue> values;
        const char* fragment;
    };
    const std::vector<Case> cases = {
        {{12.5, null, null, null, null, null}, "field NerroID (integer): not a whole number"},
        {{"12", null, null, null, null, null}, "field NerroID (integer): not a number"},
        {{null, 3, null, null, null, null}, "field Name (string): not text"},
        {{null, null, null, null, "2003-01-29", null}, "field Born (date): not a date"},
        {{null, null, null, null, null, 40000}, "field Small (small integer): out of range"},
        {{null, null, null, null, null, 1e300}, "out of range"},
        {{null, null, null}, "needs 6 attribute values, not 3"},
    };
    for (const Case& c : cases) {
        try {
            m_class->AddFeature(c.values, nullptr);
            ADD_FAILURE() << "no error for " << c.fragment;
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), host::E_HOST_INVALIDARG);
            EXPECT_NE(error.Description().find(c.fragment), std::string::npos)
                << error.Description();
        }
    }
    EXPECT_THROW(m_class->AddFeature({null, null, null, null, null, null},
                                     MakePolygon({{{0, 0}, {1, 0}, {1, 1}}})),
                 Error)
        << "a polygon in a point class";
    EXPECT_THROW(m_class->AddFeature({null, null, null, null, null, null}, nullptr, 3), Error)
        << "an object id below the last";
    EXPECT_EQ(m_class->FeatureCount(nullptr), 5);
}

// A search without a clause walks the rows without listing them, and still ends
// where the store ended when the search was made.
TEST_F(FeatureClassTest, ACursorVisitsTheRowsThereWereWhenTheSearchWasMade) {
    std::shared_ptr<host::ITable> asTable = m_class;
    auto features = m_class->Search(nullptr, false);
    auto rows = asTable->Search(Filter(""), true);
    const host::FieldValue null;
    m_class->AddFeature({null, null, null, null, null, null}, nullptr);
    EXPECT_EQ(OidsOf(features), (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(OidsOf(rows), (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
}

TEST_F(FeatureClassTest, ExplicitObjectIdsAboveTheLastAreKept) {
    const host::FieldValue null;
    const RowStore& store = *m_class->Store();
    // Ids 1 to 5 are found where they are whether or not they are listed.
    const auto positions = [&] {
        std::vector<std::optional<std::size_t>> found;
        for (const std::int32_t oid : {0, 1, 5, 6, 40, 41, 42})
            found.push_back(store.PositionOf(oid));
        return found;
    };
    const std::optional<std::size_t> none;
    EXPECT_EQ(positions(),
              (std::vector<std::optional<std::size_t>>{none, 0, 4, none, none, none, none}));
    EXPECT_EQ(m_class->AddFeature({null, null, null, null, null, null}, nullptr, 40), 40);
    EXPECT_EQ(m_class->AddFeature({null, null, null, null, null, null}, nullptr), 41);
    EXPECT_EQ(OidsOf(m_class->Search(Filter("OBJECTID > 5"), false)),
              (std::vector<std::int32_t>{40, 41}));
    EXPECT_EQ(positions(), (std::vector<std::optional<std::size_t>>{none, 0, 4, none, 5, 6, none}));
}

TEST_F(FeatureClassTest, RetypingAFieldReStoresItsValuesOrRefusesAndChangesNothing) {
    RowStore& store = *m_class->Store();
    const std::int32_t flow = store.FieldSet()->Find("Flow");
    const std::int32_t small = store.FieldSet()->Find("Small");
    EXPECT_THROW(store.Retype(flow, host::esriFieldTypeInteger), Error) << "1.5 is no integer";
    EXPECT_EQ(store.FieldSet()->At(flow).TypeCode(), host::esriFieldTypeDouble);
    EXPECT_EQ(store.At(0).values[static_cast<std::size_t>(flow)], host::FieldValue(1.5));
    EXPECT_THROW(store.Retype(store.FieldSet()->OidIndex(), host::esriFieldTypeInteger), Error);
    for (const std::int32_t type : {host::esriFieldTypeOID, host::esriFieldTypeGeometry}) {
        EXPECT_THROW(store.Retype(small, type), Error) << "a second object-id or geometry field";
    }

    store.Retype(small, host::esriFieldTypeBigInteger);
    EXPECT_EQ(m_class->Fields()->Field(small)->Type(), host::esriFieldTypeBigInteger);
    EXPECT_EQ(store.At(4).values[static_cast<std::size_t>(small)],
              host::FieldValue(std::int64_t{-4}));
    EXPECT_EQ(m_class->FeatureCount(Filter("Small = -4")), 1);
}

TEST_F(FeatureClassTest, APointKeptAsCoordinatesReadsBackAsThePointItWas) {
    const host::FieldValue null;
    const std::vector<host::FieldValue> nulls(6, null);
    m_class->AddFeature(nulls, MakePoint(7, 8, m_context));  // no one else holds it
    const auto held = MakePoint(9, 9, m_context);
    m_class->AddFeature(nulls, held);
    const RowStore& store = *m_class->Store();

    const auto feature = m_class->Search(Filter("OBJECTID = 6"), false)->NextFeature();
    const auto point = host::As<host::IPoint>(feature->Shape());
    ASSERT_TRUE(point);
    EXPECT_EQ(point->GeometryType(), host::esriGeometryPoint);
    EXPECT_EQ(point->X(), 7);
    EXPECT_EQ(point->Y(), 8);
    // The feature keeps the shape it handed out; changing it leaves the store as it was.
    point->PutCoords(0, 0);
    EXPECT_EQ(feature->Shape(), point);
    EXPECT_EQ(host::As<host::IPoint>(store.ShapeAt(5))->X(), 7);
    EXPECT_EQ(store.ShapeAt(6), held);
    EXPECT_EQ(m_class->FeatureCount(Filter("Shape IS NULL")), 1);
    const Box extent = store.Extent(nullptr);
    EXPECT_EQ(extent.xMax, 9);
    EXPECT_EQ(store.Spatial().Search(Box{6.5, 7.5, 7.5, 8.5}), (std::vector<std::uint32_t>{5}));
}

TEST(Fields, NamesAreUniqueAndFoundWithoutRegardToCase) {
    auto context = std::make_shared<HostContext>();
    auto fields = MakeFields(context, {{"NerroID", host::esriFieldTypeInteger, "Nerro id"}});
    EXPECT_EQ(fields->FindField("NERROID"), 2);
    EXPECT_EQ(fields->FindField("Missing"), -1);
    EXPECT_EQ(fields->Field(2)->AliasName(), "Nerro id");
    EXPECT_EQ(fields->Field(0)->Type(), host::esriFieldTypeOID);
    EXPECT_EQ(fields->Field(1)->Name(), "Shape");
    EXPECT_THROW(fields->Field(3), Error);
    EXPECT_THROW(MakeFields(context, {{"shape", host::esriFieldTypeString, {}}}), Error);
    EXPECT_THROW(MakeFields(context, {{"", host::esriFieldTypeString, {}}}), Error);
}

TEST(Table, StandaloneRowsAreRowsButNotFeatures) {
    auto context = std::make_shared<HostContext>();
    Table table(context, "Owners",
                MakeFields(context, {{"Owner", host::esriFieldTypeString, {}}}, true, false));
    table.AddRow({"Ann"});
    table.AddRow({"Bo"});
    EXPECT_EQ(table.RowCount(std::make_shared<QueryFilter>(context, "Owner = 'Bo'")), 1);
    auto row = table.Search(nullptr, false)->NextRow();
    ASSERT_TRUE(row);
    EXPECT_FALSE(host::Supports<host::IFeature>(row));
    EXPECT_EQ(row->OID(), 1);
}

class SelectionSetTest : public FeatureClassTest {
  protected:
    std::string m_definition;
    SelectionSet m_selection{m_context, m_class->Store(), [this] { return m_definition; }};
};

TEST_F(SelectionSetTest, SearchGivesTheSelectedFeaturesInOidOrder) {
    m_selection.Select({5, 1, 3});
    EXPECT_EQ(m_selection.Count(), 3);
    auto cursor = m_selection.Search(nullptr, false);
    EXPECT_TRUE(host::Supports<host::IFeatureCursor>(cursor));
    EXPECT_EQ(OidsOf(cursor), (std::vector<std::int32_t>{1, 3, 5}));
    EXPECT_EQ(OidsOf(m_selection.Search(Filter("Area = 0.1"), false)),
              (std::vector<std::int32_t>{1, 3}));
}

TEST_F(SelectionSetTest, OnlyFeaturesPassingTheDefinitionQueryCount) {
    m_selection.Select({1, 2, 5});
    m_definition = "NerroID > 12";
    EXPECT_EQ(m_selection.Count(), 2);
    EXPECT_EQ(OidsOf(m_selection.Search(nullptr, false)), (std::vector<std::int32_t>{2, 5}));
    m_definition.clear();
    EXPECT_EQ(m_selection.Count(), 3);
}

TEST_F(SelectionSetTest, AnUnknownIdSelectsNothing) {
    EXPECT_THROW(m_selection.Select({1, 99}), Error);
    EXPECT_EQ(m_selection.Count(), 0);
    m_selection.Select({2});
    m_selection.Clear();
    EXPECT_EQ(m_selection.Count(), 0);
}

TEST(Set, VisitsInTheOrderAddedUntilResetAndRefusesNothing) {
    auto context = std::make_shared<HostContext>();
    Set set(context);
    auto a = MakePoint(1, 1);
    auto b = MakePoint(2, 2);
    set.Add(b);
    set.Add(a);
    EXPECT_EQ(set.Count(), 2);
    EXPECT_EQ(set.Next(), b);
    EXPECT_EQ(set.Next(), a);
    EXPECT_EQ(set.Next(), nullptr);
    EXPECT_EQ(set.Next(), nullptr);
    set.Reset();
    EXPECT_EQ(set.Next(), b);
    try {
        set.Add(nullptr);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_POINTER);
    }
    EXPECT_EQ(set.Count(), 2);
}

TEST_F(FeatureClassTest, InjectedFaultFailsTheChosenCallOnceWithItsCode) {
    m_context->faults.FailAt("ITable::Search", 2, host::E_HOST_FAIL, "disk gone");
    std::shared_ptr<host::ITable> asTable = m_class;
    EXPECT_NO_THROW(asTable->Search(nullptr, false));
    try {
        asTable->Search(nullptr, false);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_FAIL);
        EXPECT_EQ(error.Description(), "disk gone");
    }
    EXPECT_NO_THROW(asTable->Search(nullptr, false));
}

}  // namespace
}  // namespace velorin::memory
