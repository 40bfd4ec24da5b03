#include "copylegend/symbol_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/host_fixture.h"
#include "tests/support/map_plan.h"

// The symbol rules on every host the binary links: legends are stated as data,
// and the symbols and colours a test makes come from the host's object factory.
namespace velorin::copylegend {
namespace {

using testing::Color;
using testing::ColorOf;
using testing::HostMaker;
using testing::kBlue;
using testing::kGreen;
using testing::kRed;
using testing::Look;
using testing::MapPlan;
using testing::RendererPlan;
using testing::SymbolPlan;

// The failure `call` raises; none when it returns.
std::optional<Error> Raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const Error& error) {
        return error;
    }
    return std::nullopt;
}

// What the suite's tests share, whatever their parameters.
class SymbolCopyOnHost {
  protected:
    void Start(const HostMaker& maker) { m_host = maker.make(); }

    // "Source": features keyed "a" then "b" on the text field "Key", drawn by
    // `legend` (the host's own drawing when left out).
    void BuildSource(const RendererPlan& legend = {},
                     std::int32_t shapeType = host::esriGeometryPoint) {
        MapPlan map;
        map.FeatureLayer("Source", shapeType)
            .Field("Key", host::esriFieldTypeString)
            .Feature({"a"})
            .Feature({"b"})
            .Renderer(legend);
        m_host->Build(map);
    }

    std::shared_ptr<host::IGeoFeatureLayer> Layer(const std::string& name = "Source") {
        auto layer = m_host->FeatureLayer(name);
        if (!layer) throw Error(host::E_HOST_INVALIDARG, "no feature layer " + name);
        return layer;
    }
    std::shared_ptr<host::IFeature> FirstFeature() {
        return Layer()->Search(nullptr, false)->NextFeature();
    }

    std::shared_ptr<host::IObjectFactory> SharedFactory() {
        return m_host->Application()->ObjectFactory();
    }
    host::IObjectFactory& Factory() {
        if (!m_factory) m_factory = SharedFactory();
        return *m_factory;
    }
    static std::shared_ptr<host::IRgbColor> NewColor(host::IObjectFactory& factory, Color color) {
        auto rgb = factory.NewRgbColor();
        rgb->SetRed(color.red);
        rgb->SetGreen(color.green);
        rgb->SetBlue(color.blue);
        return rgb;
    }

    std::unique_ptr<testing::HostFixture> m_host;

  private:
    std::shared_ptr<host::IObjectFactory> m_factory;
};

class SymbolCopy : public SymbolCopyOnHost, public ::testing::TestWithParam<HostMaker> {
  protected:
    void SetUp() override { Start(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Hosts, SymbolCopy, ::testing::ValuesIn(testing::Hosts()),
                         testing::HostName);

// ---- GetSimpleSymbolColor --------------------------------------------------------------

struct SimpleKindCase {
    const char* name;
    std::int32_t shapeType;
};

void PrintTo(const SimpleKindCase& c, std::ostream* out) { *out << c.name; }

class SimpleSymbolColor : public SymbolCopyOnHost,
                          public ::testing::TestWithParam<std::tuple<HostMaker, SimpleKindCase>> {
  protected:
    void SetUp() override { Start(std::get<0>(GetParam())); }
};

TEST_P(SimpleSymbolColor, IsTheColourObjectOfTheSymbolTheLegendDrawsTheFeatureWith) {
    const std::int32_t shape = std::get<1>(GetParam()).shapeType;
    BuildSource(RendererPlan::UniqueValues("Key", {{"a", SymbolPlan::For(shape, kGreen)},
                                                   {"b", SymbolPlan::For(shape, kRed)}}),
                shape);
    const auto feature = FirstFeature();

    EXPECT_EQ(ColorOf(GetSimpleSymbolColor(Layer(), feature)), kGreen);
    // Not a copy: the engine clones it, so the rule must not clone twice. Asked of
    // one renderer, as a host may give a new renderer at each reading.
    const auto renderer = Layer()->Renderer();
    EXPECT_EQ(GetSimpleSymbolColor(renderer, feature),
              Look(renderer->SymbolByFeature(feature)).color);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, SimpleSymbolColor,
    ::testing::Combine(::testing::ValuesIn(testing::Hosts()),
                       ::testing::Values(SimpleKindCase{"Marker", host::esriGeometryPoint},
                                         SimpleKindCase{"Line", host::esriGeometryPolyline},
                                         SimpleKindCase{"Fill", host::esriGeometryPolygon})),
    testing::HostCaseName<SimpleKindCase>);

TEST_P(SymbolCopy, ASymbolThatIsNotSimpleRaisesError2021) {
    BuildSource(RendererPlan::UniqueValues("Key", {{"a", SymbolPlan::NotSimple(kBlue)}}));

    const auto error = Raised([&] { GetSimpleSymbolColor(Layer(), FirstFeature()); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->Number(), 2021);
    EXPECT_EQ(error->Description(), "Symbol type must be simple");
}

TEST_P(SymbolCopy, AFeatureTheLegendDrawsWithNoSymbolRaisesError2021) {
    // "a" has no value and the legend has no symbol for other values.
    BuildSource(
        RendererPlan::UniqueValues("Key", {{"b", SymbolPlan::For(host::esriGeometryPoint, kRed)}}));

    const auto error = Raised([&] { GetSimpleSymbolColor(Layer(), FirstFeature()); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->Number(), kErrSymbolNotSimple);
}

TEST_P(SymbolCopy, NoRendererRaisesAHostErrorNotACrash) {
    BuildSource();

    const auto error = Raised(
        [&] { GetSimpleSymbolColor(std::shared_ptr<host::IFeatureRenderer>{}, FirstFeature()); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->Number(), host::E_HOST_POINTER);
}

TEST_P(SymbolCopy, SimpleSymbolColorsAnswersAsGetSimpleSymbolColorForEverySymbolAndAgain) {
    // Symbols of every kind and some that are not simple, asked twice, with
    // every colour object replaced in between.
    MapPlan map;
    map.FeatureLayer("Many", host::esriGeometryPoint).Field("Key", host::esriFieldTypeString);
    std::vector<std::pair<std::string, SymbolPlan>> values;
    constexpr std::int32_t kShapes[] = {host::esriGeometryPoint, host::esriGeometryPolyline,
                                        host::esriGeometryPolygon};
    for (int i = 0; i < 300; ++i) {
        const std::string key = std::to_string(i);
        map.Feature({key});
        values.emplace_back(key, i % 4 == 3 ? SymbolPlan::NotSimple(kBlue)
                                            : SymbolPlan::For(kShapes[i % 4], kBlue));
    }
    map.Renderer(RendererPlan::UniqueValues("Key", values));
    m_host->Build(map);
    // One reading: the colours replaced are those of the renderer asked.
    const auto renderer = Layer("Many")->Renderer();
    const auto legend = host::As<host::IUniqueValueRenderer>(renderer);
    ASSERT_TRUE(legend);
    const auto numberOf = [](const auto& ask) {
        const auto error = Raised([&] { ask(); });
        return error ? error->Number() : 0;
    };

    SimpleSymbolColors colors(renderer);
    for (int pass = 0; pass < 2; ++pass) {
        const auto cursor = Layer("Many")->Search(nullptr, false);
        int features = 0;
        while (const auto feature = cursor->NextFeature()) {
            ++features;
            std::shared_ptr<host::IColor> expected;
            std::shared_ptr<host::IColor> got;
            const int expectedError =
                numberOf([&] { expected = GetSimpleSymbolColor(renderer, feature); });
            ASSERT_EQ(numberOf([&] { got = colors.Of(feature); }), expectedError);
            ASSERT_EQ(got, expected);
        }
        ASSERT_EQ(features, 300);
        for (const auto& [key, plan] : values) {
            const auto symbol = legend->Symbol(key);
            const auto rgb = NewColor(Factory(), {1, 2, 3});
            if (auto marker = host::As<host::ISimpleMarkerSymbol>(symbol)) marker->SetColor(rgb);
            if (auto line = host::As<host::ISimpleLineSymbol>(symbol)) line->SetColor(rgb);
            if (auto fill = host::As<host::ISimpleFillSymbol>(symbol)) fill->SetColor(rgb);
        }
    }
}

TEST_P(SymbolCopy, SimpleSymbolColorsKeepsNoneOfTheSymbolsARendererMakesPerFeatureAlive) {
    // A host may make a new symbol object each time it is asked. The renderer is
    // the test's own; its symbols are the host's.
    class FreshSymbols final : public host::IFeatureRenderer {
      public:
        explicit FreshSymbols(std::shared_ptr<host::IObjectFactory> factory)
            : m_factory(std::move(factory)) {}
        std::shared_ptr<host::ISymbol> SymbolByFeature(
            const std::shared_ptr<host::IFeature>&) override {
            auto marker = m_factory->NewSimpleMarkerSymbol();
            marker->SetColor(NewColor(*m_factory, kRed));
            auto symbol = host::Require<host::ISymbol>(marker, "ISymbol");
            made.push_back(symbol);
            return symbol;
        }
        std::vector<std::weak_ptr<host::ISymbol>> made;

      private:
        std::shared_ptr<host::IObjectFactory> m_factory;
    };
    BuildSource();
    const auto renderer = std::make_shared<FreshSymbols>(SharedFactory());
    SimpleSymbolColors colors(renderer);
    const auto feature = FirstFeature();
    for (int i = 0; i < 100; ++i) EXPECT_EQ(ColorOf(colors.Of(feature)), kRed);

    ASSERT_EQ(renderer->made.size(), 100U);
    const auto alive = std::count_if(renderer->made.begin(), renderer->made.end(),
                                     [](const auto& symbol) { return !symbol.expired(); });
    EXPECT_EQ(alive, 0);
}

TEST_P(SymbolCopy, SimpleSymbolColorsWithoutARendererRaisesAtTheFirstFeature) {
    BuildSource();
    SimpleSymbolColors colors(nullptr);

    const auto error = Raised([&] { colors.Of(FirstFeature()); });

    ASSERT_TRUE(error);
    EXPECT_EQ(error->Number(), host::E_HOST_POINTER);
}

TEST_P(SymbolCopy, ColorCopiesCopyEveryColourAndRaiseAsAskingForTheInterfacesWould) {
    // A colour of another host, without the clone interface.
    class BareColor final : public host::IColor {
      public:
        std::int32_t RGB() const override { return 0x0000FF; }
    };
    BuildSource();
    ColorCopies copies;
    // Each twice in a row: the second time takes the way learnt from the first.
    for (const std::shared_ptr<host::IColor> red :
         {NewColor(Factory(), kRed), NewColor(Factory(), kRed)}) {
        const auto copy = copies.Of(red);
        EXPECT_NE(copy, red);
        EXPECT_EQ(ColorOf(copy), kRed);
    }
    const auto bare = std::make_shared<BareColor>();
    for (const auto& [color, number] : std::vector<std::pair<std::shared_ptr<host::IColor>, int>>{
             {bare, host::E_HOST_NOINTERFACE},
             {bare, host::E_HOST_NOINTERFACE},
             {nullptr, host::E_HOST_POINTER}}) {
        const auto error = Raised([&, color = color] { copies.Of(color); });
        ASSERT_TRUE(error) << number;
        EXPECT_EQ(error->Number(), number);
    }
}

// ---- MakeDefaultSymbol and MakeValueSymbol ------------------------------------------------

struct SymbolRuleCase {
    const char* name;
    std::int32_t shapeType;
    bool isDefault;
    std::int32_t style;
    double sizeOrWidth;  // 0 for fills
};

void PrintTo(const SymbolRuleCase& c, std::ostream* out) { *out << c.name; }

class SymbolRule : public SymbolCopyOnHost,
                   public ::testing::TestWithParam<std::tuple<HostMaker, SymbolRuleCase>> {
  protected:
    void SetUp() override { Start(std::get<0>(GetParam())); }

    // The colour a new symbol of that kind gets from the host.
    Color HostDefaultColor(std::int32_t shapeType) {
        if (shapeType == host::esriGeometryPoint) {
            return ColorOf(Factory().NewSimpleMarkerSymbol()->Color());
        }
        if (shapeType == host::esriGeometryPolyline) {
            return ColorOf(Factory().NewSimpleLineSymbol()->Color());
        }
        return ColorOf(Factory().NewSimpleFillSymbol()->Color());
    }
};

TEST_P(SymbolRule, MakesTheSymbolOfTheRelatedShapeWithItsStyleSizeAndColour) {
    const SymbolRuleCase& rule = std::get<1>(GetParam());
    BuildSource();
    const auto color = NewColor(Factory(), {12, 34, 56});
    const auto symbol = rule.isDefault ? MakeDefaultSymbol(rule.shapeType, Factory())
                                       : MakeValueSymbol(rule.shapeType, color, Factory());
    ASSERT_TRUE(symbol);

    std::shared_ptr<host::IColor> made;
    if (rule.shapeType == host::esriGeometryPoint) {
        const auto marker = host::As<host::ISimpleMarkerSymbol>(symbol);
        ASSERT_TRUE(marker);
        EXPECT_EQ(marker->Style(), rule.style);
        EXPECT_DOUBLE_EQ(marker->Size(), rule.sizeOrWidth);
        made = marker->Color();
    } else if (rule.shapeType == host::esriGeometryPolyline) {
        const auto line = host::As<host::ISimpleLineSymbol>(symbol);
        ASSERT_TRUE(line);
        EXPECT_EQ(line->Style(), rule.style);
        EXPECT_DOUBLE_EQ(line->Width(), rule.sizeOrWidth);
        made = line->Color();
    } else {
        const auto fill = host::As<host::ISimpleFillSymbol>(symbol);
        ASSERT_TRUE(fill);
        EXPECT_EQ(fill->Style(), rule.style);
        // The outline is left as the host creates it.
        const auto fresh = Factory().NewSimpleFillSymbol()->Outline();
        ASSERT_EQ(fill->Outline() != nullptr, fresh != nullptr);
        if (fresh) {
            EXPECT_EQ(ColorOf(fill->Outline()->Color()), ColorOf(fresh->Color()));
            EXPECT_DOUBLE_EQ(fill->Outline()->Width(), fresh->Width());
        }
        made = fill->Color();
    }

    if (rule.isDefault) {
        EXPECT_EQ(ColorOf(made), HostDefaultColor(rule.shapeType));
    } else {
        // The value symbol holds the very colour given: the engine passes a copy.
        EXPECT_EQ(made, color);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, SymbolRule,
    ::testing::Combine(
        ::testing::ValuesIn(testing::Hosts()),
        ::testing::Values(SymbolRuleCase{"DefaultPointIsAnX", host::esriGeometryPoint, true,
                                         host::esriSMSX, 12},
                          SymbolRuleCase{"DefaultLineIsDashed", host::esriGeometryPolyline, true,
                                         host::esriSLSDash, 1},
                          SymbolRuleCase{"DefaultPolygonIsHatched", host::esriGeometryPolygon, true,
                                         host::esriSFSBackwardDiagonal, 0},
                          SymbolRuleCase{"ValuePointIsACircle", host::esriGeometryPoint, false,
                                         host::esriSMSCircle, 12},
                          SymbolRuleCase{"ValueLineIsSolid", host::esriGeometryPolyline, false,
                                         host::esriSLSSolid, 1},
                          SymbolRuleCase{"ValuePolygonIsSolid", host::esriGeometryPolygon, false,
                                         host::esriSFSSolid, 0})),
    testing::HostCaseName<SymbolRuleCase>);

TEST_P(SymbolCopy, OtherShapesAreRefusedWithARunTimeError) {
    BuildSource();
    const auto color = NewColor(Factory(), {1, 2, 3});
    for (const std::int32_t shape :
         {host::esriGeometryMultipoint, host::esriGeometryNull, host::esriGeometryMultiPatch}) {
        EXPECT_THROW(MakeDefaultSymbol(shape, Factory()), Error) << shape;
        EXPECT_THROW(MakeValueSymbol(shape, color, Factory()), Error) << shape;
    }
}

}  // namespace
}  // namespace velorin::copylegend
