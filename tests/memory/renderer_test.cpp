#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "host/codes.h"
#include "host/error.h"
#include "host/field_value.h"
#include "platform/memory/feature_class.h"
#include "platform/memory/neutral_objects.h"
#include "platform/memory/store_matches.h"

namespace velorin::memory {
namespace {

using host::As;
using host::FieldValue;

// A feature with named values and no shape: all a renderer reads.
class StubFields final : public host::IFields {
  public:
    explicit StubFields(std::vector<std::string> names) : m_names(std::move(names)) {}
    std::int32_t FieldCount() const override { return static_cast<std::int32_t>(m_names.size()); }
    std::shared_ptr<host::IField> Field(std::int32_t) const override { return nullptr; }
    std::int32_t FindField(const std::string& name) const override {
        auto lower = [](std::string s) {
            std::transform(s.begin(), s.end(), s.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            return s;
        };
        for (std::size_t i = 0; i < m_names.size(); ++i) {
            if (lower(m_names[i]) == lower(name)) return static_cast<std::int32_t>(i);
        }
        return -1;
    }

  private:
    std::vector<std::string> m_names;
};

class StubFeature final : public host::IFeature {
  public:
    StubFeature(std::vector<std::string> names, std::vector<FieldValue> values)
        : m_fields(std::make_shared<StubFields>(std::move(names))), m_values(std::move(values)) {}
    std::shared_ptr<host::IFields> Fields() const override { return m_fields; }
    FieldValue Value(std::int32_t index) const override {
        return m_values.at(static_cast<std::size_t>(index));
    }
    bool HasOID() const override { return false; }
    std::int32_t OID() const override { return -1; }
    std::shared_ptr<host::IGeometry> Shape() const override { return nullptr; }

  private:
    std::shared_ptr<StubFields> m_fields;
    std::vector<FieldValue> m_values;
};

std::shared_ptr<host::IFeature> FeatureWith(const char* field, FieldValue value) {
    return std::make_shared<StubFeature>(std::vector<std::string>{"OBJECTID", field},
                                         std::vector<FieldValue>{FieldValue(1), std::move(value)});
}

class UniqueValues : public ::testing::Test {
  protected:
    // The host's own features take the stored-row matching; the stub features
    // the plain reading of keys, which the stored tests compare them with.
    UniqueValues() {
        MatchStoredRows(*m_context);
        m_renderer->SetFieldCount(1);
        m_renderer->SetField(0, "Code");
        m_renderer->SetDefaultSymbol(m_default);
    }

    std::shared_ptr<host::ISymbol> NewSymbol() {
        return std::make_shared<SimpleFillSymbol>(m_context);
    }

    std::shared_ptr<HostContext> m_context = std::make_shared<HostContext>();
    std::shared_ptr<UniqueValueRenderer> m_renderer =
        std::make_shared<UniqueValueRenderer>(m_context);
    std::shared_ptr<host::ISymbol> m_default = std::make_shared<SimpleFillSymbol>(m_context);
};

TEST_F(UniqueValues, SymbolByFeatureMatchesTheTextFormOfTheKeyExactly) {
    auto twelve = NewSymbol();
    auto half = NewSymbol();
    auto text = NewSymbol();
    m_renderer->AddValue("12", "Code", twelve);
    m_renderer->AddValue("1.5", "Code", half);
    m_renderer->AddValue("A", "Code", text);

    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", std::int32_t{12})), twelve);
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", std::int16_t{12})), twelve);
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", 1.5)), half);
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", "12")), twelve);
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", "A")), text);
    // Exact: no trimming, no case folding, no numeric reading of text.
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", "a")), m_default);
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", "12 ")), m_default);
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", "12.0")), m_default);
}

TEST_F(UniqueValues, KeyFieldIsFoundByNameWithoutRegardToCase) {
    auto symbol = NewSymbol();
    m_renderer->AddValue("7", "Code", symbol);
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("CODE", std::int32_t{7})), symbol);
}

TEST_F(UniqueValues, TextWithQuotesAndSqlWordsMatchesOnlyItself) {
    auto symbol = NewSymbol();
    m_renderer->AddValue("x' OR 'a'='a", "Code", symbol);
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", "x' OR 'a'='a")), symbol);
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", "x")), m_default);
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", "a")), m_default);
}

TEST_F(UniqueValues, NoMatchGivesTheDefaultOnlyWhileItsFlagIsSet) {
    auto feature = FeatureWith("Code", "unknown");
    EXPECT_TRUE(m_renderer->UseDefaultSymbol());
    EXPECT_EQ(m_renderer->SymbolByFeature(feature), m_default);
    m_renderer->SetUseDefaultSymbol(false);
    EXPECT_EQ(m_renderer->SymbolByFeature(feature), nullptr);
    m_renderer->SetUseDefaultSymbol(true);
    m_renderer->SetDefaultSymbol(nullptr);
    EXPECT_EQ(m_renderer->SymbolByFeature(feature), nullptr);
}

// A null key is no value: not even a value "" matches it, whether the feature is
// the host's own (matched once per store) or another's.
TEST_F(UniqueValues, NullKeyMatchesNoValueNotEvenTheEmptyText) {
    auto features = std::make_shared<FeatureClass>(
        m_context, "Stored", host::esriGeometryPoint, host::esriFTSimple,
        MakeFields(m_context, {{"Code", host::esriFieldTypeString, {}}}));
    features->AddFeature({FieldValue{}}, nullptr);
    features->AddFeature({FieldValue{std::string()}}, nullptr);
    auto cursor = features->Search(nullptr, false);
    const auto storedNull = cursor->NextFeature();
    const auto storedEmpty = cursor->NextFeature();

    auto empty = NewSymbol();
    m_renderer->AddValue("", "Code", empty);
    for (const auto& null : {FeatureWith("Code", FieldValue{}), storedNull}) {
        EXPECT_EQ(m_renderer->SymbolByFeature(null), m_default);
    }
    for (const auto& text : {FeatureWith("Code", std::string()), storedEmpty}) {
        EXPECT_EQ(m_renderer->SymbolByFeature(text), empty);
    }
}

// The host's own features are matched once per store; values added later, and
// features added later, are still seen.
TEST_F(UniqueValues, StoredFeaturesFollowLaterValuesAndFeatures) {
    auto features = std::make_shared<FeatureClass>(
        m_context, "Stored", host::esriGeometryPoint, host::esriFTSimple,
        MakeFields(m_context, {{"Code", host::esriFieldTypeInteger, {}}}));
    features->AddFeature({FieldValue{std::int32_t{1}}}, nullptr);
    const auto first = features->Search(nullptr, false)->NextFeature();
    EXPECT_EQ(m_renderer->SymbolByFeature(first), m_default);

    auto one = NewSymbol();
    m_renderer->AddValue("1", "Code", one);
    EXPECT_EQ(m_renderer->SymbolByFeature(first), one);
    auto two = NewSymbol();
    m_renderer->AddValue("2", "Code", two);
    features->AddFeature({FieldValue{std::int32_t{2}}}, nullptr);
    auto cursor = features->Search(nullptr, false);
    cursor->NextFeature();
    EXPECT_EQ(m_renderer->SymbolByFeature(cursor->NextFeature()), two);
    m_renderer->SetField(0, "OBJECTID");
    EXPECT_EQ(m_renderer->SymbolByFeature(first), one);
}

// Whole-number keys of the host's own features, near together and far apart,
// match as the same values of any other feature do.
TEST_F(UniqueValues, StoredWholeNumberKeysMatchAsTheirTextDoes) {
    for (const std::int32_t far : {3, 2'000'000'000}) {
        auto features = std::make_shared<FeatureClass>(
            m_context, "Stored", host::esriGeometryPoint, host::esriFTSimple,
            MakeFields(m_context, {{"Code", host::esriFieldTypeInteger, {}}}));
        const std::vector<FieldValue> keys{FieldValue{std::int32_t{-5}}, FieldValue{far},
                                           FieldValue{}, FieldValue{std::int32_t{-5}},
                                           FieldValue{std::int32_t{0}}};
        for (const auto& key : keys) features->AddFeature({key}, nullptr);
        m_renderer = std::make_shared<UniqueValueRenderer>(m_context);
        m_renderer->SetFieldCount(1);
        m_renderer->SetField(0, "Code");
        m_renderer->AddValue("-5", "Code", NewSymbol());
        m_renderer->AddValue(std::to_string(far), "Code", NewSymbol());

        auto cursor = features->Search(nullptr, false);
        for (const auto& key : keys) {
            EXPECT_EQ(m_renderer->SymbolByFeature(cursor->NextFeature()),
                      m_renderer->SymbolByFeature(FeatureWith("Code", key)))
                << host::ToText(key) << " among keys up to " << far;
        }
    }
}

TEST_F(UniqueValues, FeatureWithoutTheKeyFieldFallsBackToTheDefault) {
    m_renderer->AddValue("1", "Code", NewSymbol());
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Other", std::int32_t{1})), m_default);
}

TEST_F(UniqueValues, TwoKeyFieldsJoinTheirTexts) {
    auto symbol = NewSymbol();
    m_renderer->SetFieldCount(2);
    m_renderer->SetField(1, "Zone");
    m_renderer->AddValue("3, North", "Code", symbol);
    auto feature = std::make_shared<StubFeature>(
        std::vector<std::string>{"Zone", "Code"},
        std::vector<FieldValue>{FieldValue("North"), FieldValue(std::int32_t{3})});
    EXPECT_EQ(m_renderer->SymbolByFeature(feature), symbol);
}

TEST_F(UniqueValues, AValueWithoutASymbolDrawsNothing) {
    m_renderer->AddValue("5", "Code", nullptr);
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", std::int32_t{5})), nullptr);
}

TEST_F(UniqueValues, ValuesKeepTheirOrderHeadingLabelAndSymbol) {
    auto first = NewSymbol();
    auto second = NewSymbol();
    m_renderer->AddValue("b", "Heading", first);
    m_renderer->AddValue("a", "Heading", second);
    ASSERT_EQ(m_renderer->ValueCount(), 2);
    EXPECT_EQ(m_renderer->Value(0), "b");
    EXPECT_EQ(m_renderer->Value(1), "a");
    EXPECT_EQ(m_renderer->Heading("a"), "Heading");
    EXPECT_EQ(m_renderer->Label("a"), "a");
    m_renderer->SetLabel("a", "Label A");
    EXPECT_EQ(m_renderer->Label("a"), "Label A");
    m_renderer->SetSymbol("b", second);
    EXPECT_EQ(m_renderer->Symbol("b"), second);
    EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", "b")), second);
}

TEST_F(UniqueValues, EveryValueOfALargeLegendIsFoundRelabelledAndResymbolledByItsExactText) {
    // Enough values for the index to grow many times; short and long texts, the
    // empty text, and texts that differ only in their last byte or a zero byte.
    std::vector<std::string> texts{"", std::string("a\0b", 3), std::string("a\0c", 3)};
    for (int i = 0; i < 3000; ++i) {
        texts.push_back(std::to_string(i));
        if (i % 3 == 0) texts.push_back("a value with a long text, number " + std::to_string(i));
    }
    std::vector<std::shared_ptr<host::ISymbol>> symbols;
    for (const std::string& text : texts) {
        symbols.push_back(NewSymbol());
        m_renderer->AddValue(text, "Code", symbols.back());
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string& text = texts[i];
        ASSERT_EQ(m_renderer->Symbol(text), symbols[i]) << i;
        ASSERT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", text)), symbols[i]) << i;
        m_renderer->SetLabel(text, "label " + text);
        const auto replacement = NewSymbol();
        m_renderer->SetSymbol(text, replacement);
        ASSERT_EQ(m_renderer->Label(text), "label " + text) << i;
        ASSERT_EQ(m_renderer->Symbol(text), replacement) << i;
        ASSERT_EQ(m_renderer->Value(static_cast<std::int32_t>(i)), text);
        ASSERT_THROW(m_renderer->AddValue(text, "Code", NewSymbol()), Error) << i;
    }
    for (const std::string missing :
         {"3000", "a", " 1", "01", "a value with a long text, number 1"}) {
        EXPECT_THROW(m_renderer->Symbol(missing), Error) << missing;
        EXPECT_EQ(m_renderer->SymbolByFeature(FeatureWith("Code", missing)), m_default) << missing;
    }
    EXPECT_EQ(m_renderer->ValueCount(), static_cast<std::int32_t>(texts.size()));
}

TEST_F(UniqueValues, AddingAValueTwiceRaisesAndKeepsTheFirst) {
    auto first = NewSymbol();
    m_renderer->AddValue("x", "H1", first);
    try {
        m_renderer->AddValue("x", "H2", NewSymbol());
        FAIL();
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_INVALIDARG);
        EXPECT_NE(error.Description().find("'x'"), std::string::npos);
    }
    EXPECT_EQ(m_renderer->ValueCount(), 1);
    EXPECT_EQ(m_renderer->Heading("x"), "H1");
    EXPECT_EQ(m_renderer->Symbol("x"), first);
}

TEST_F(UniqueValues, MembersNamingAMissingValueRaise) {
    m_renderer->AddValue("x", "H", NewSymbol());
    EXPECT_THROW(m_renderer->Symbol("y"), Error);
    EXPECT_THROW(m_renderer->Label("y"), Error);
    EXPECT_THROW(m_renderer->Heading("y"), Error);
    EXPECT_THROW(m_renderer->SetLabel("y", "L"), Error);
    EXPECT_THROW(m_renderer->SetSymbol("y", NewSymbol()), Error);
    EXPECT_THROW(m_renderer->Value(1), Error);
    EXPECT_THROW(m_renderer->Value(-1), Error);
    EXPECT_EQ(m_renderer->ValueCount(), 1);
}

TEST_F(UniqueValues, KeyFieldIndexesAndCountAreChecked) {
    EXPECT_THROW(m_renderer->Field(1), Error);
    EXPECT_THROW(m_renderer->SetFieldType(-1, true), Error);
    EXPECT_THROW(m_renderer->SetFieldCount(4), Error);
    EXPECT_THROW(m_renderer->SetFieldCount(-1), Error);
    EXPECT_EQ(m_renderer->FieldCount(), 1);
    EXPECT_EQ(m_renderer->Field(0), "Code");
    m_renderer->SetFieldType(0, true);
    EXPECT_TRUE(m_renderer->FieldType(0));
}

TEST_F(UniqueValues, InjectedFaultSurfacesWithItsCode) {
    m_context->faults.FailAt("IFeatureRenderer::SymbolByFeature", 2, host::E_HOST_FAIL, "boom");
    auto feature = FeatureWith("Code", "x");
    EXPECT_NO_THROW(m_renderer->SymbolByFeature(feature));
    try {
        m_renderer->SymbolByFeature(feature);
        FAIL();
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_FAIL);
    }
}

TEST(SimpleRendererTest, DrawsEveryFeatureWithItsOneSymbol) {
    auto context = std::make_shared<HostContext>();
    auto symbol = std::make_shared<SimpleLineSymbol>(context);
    SimpleRenderer renderer(context, symbol);
    EXPECT_EQ(renderer.SymbolByFeature(FeatureWith("A", 1.0)), symbol);
    EXPECT_THROW(renderer.SymbolByFeature(nullptr), Error);
    renderer.SetSymbol(nullptr);
    EXPECT_EQ(renderer.SymbolByFeature(FeatureWith("A", 1.0)), nullptr);
}

TEST(DefaultRendererTest, SymbolKindFollowsTheShapeType) {
    auto context = std::make_shared<HostContext>();
    auto kindOf = [&](std::int32_t shapeType) {
        return MakeDefaultRenderer(context, shapeType)->Symbol();
    };
    EXPECT_NE(As<host::ISimpleMarkerSymbol>(kindOf(host::esriGeometryPoint)), nullptr);
    EXPECT_NE(As<host::ISimpleMarkerSymbol>(kindOf(host::esriGeometryMultipoint)), nullptr);
    EXPECT_NE(As<host::ISimpleLineSymbol>(kindOf(host::esriGeometryPolyline)), nullptr);
    EXPECT_NE(As<host::ISimpleFillSymbol>(kindOf(host::esriGeometryPolygon)), nullptr);
    // Neighbouring layers get different colours.
    auto colour = [&](std::int32_t index) {
        return As<host::IFillSymbol>(
                   MakeDefaultRenderer(context, host::esriGeometryPolygon, index)->Symbol())
            ->Color()
            ->RGB();
    };
    EXPECT_NE(colour(0), colour(1));
    EXPECT_EQ(colour(-1), colour(7));
    // Making a layer's renderer is not a call of the extension.
    const int calls = context->faults.CallCount();
    MakeDefaultRenderer(context, host::esriGeometryPolyline, 2);
    EXPECT_EQ(context->faults.CallCount(), calls);
}

TEST(PropertyPageTest, UniqueValuePageHasItsOwnClassId) {
    UniqueValuePropertyPage page(std::make_shared<HostContext>());
    EXPECT_EQ(page.ClassID(), UniqueValuePropertyPageClassID);
    EXPECT_NE(page.ClassID(), SingleSymbolPropertyPageClassID);
    EXPECT_EQ(page.ClassID().size(), 38u);
    EXPECT_EQ(page.ClassID().front(), '{');
}

}  // namespace
}  // namespace velorin::memory
