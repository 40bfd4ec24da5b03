#include "copylegend/symbol_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/memory/application.h"
#include "platform/objects/renderers.h"
#include "platform/objects/symbols.h"
#include "tests/copylegend/legend_helpers.h"

namespace velorin::copylegend {
namespace {

using testing::Color;
using testing::ColorOf;

class SymbolCopy : public ::testing::Test {
  protected:
    std::shared_ptr<objects::HostContext> m_context = std::make_shared<objects::HostContext>();
    memory::ReferenceHost m_host = memory::HostBuilder()
                                       .FeatureLayer("Source", host::esriGeometryPoint)
                                       .Field("Key", host::esriFieldTypeString)
                                       .Feature({"a"})
                                       .Feature({"b"})
                                       .Build();
    host::IObjectFactory& Factory() { return *m_host.Application(); }

    std::shared_ptr<host::IFeature> FirstFeature() {
        return m_host.FeatureLayerNamed("Source")->Search(nullptr, false)->NextFeature();
    }
};

// ---- GetSimpleSymbolColor --------------------------------------------------------------

struct SimpleKindCase {
    const char* name;
    std::int32_t shapeType;
};

class SimpleSymbolColor : public SymbolCopy,
                          public ::testing::WithParamInterface<SimpleKindCase> {};

TEST_P(SimpleSymbolColor, IsTheColourObjectOfTheSymbolTheLegendDrawsTheFeatureWith) {
    const auto symbol = testing::SimpleSymbol(m_context, GetParam().shapeType, testing::kGreen);
    const auto layer = m_host.FeatureLayerNamed("Source");
    layer->SetRenderer(testing::Legend(
        m_context, "Key",
        {{"a", symbol},
         {"b", testing::SimpleSymbol(m_context, GetParam().shapeType, testing::kRed)}}));

    const auto color = GetSimpleSymbolColor(layer, FirstFeature());

    EXPECT_EQ(ColorOf(color), testing::kGreen);
    // Not a copy: the engine clones it, so the rule must not clone twice.
    std::shared_ptr<host::IColor> own;
    if (auto marker = host::As<host::IMarkerSymbol>(symbol)) own = marker->Color();
    if (auto line = host::As<host::ILineSymbol>(symbol)) own = line->Color();
    if (auto fill = host::As<host::IFillSymbol>(symbol)) own = fill->Color();
    EXPECT_EQ(color, own);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, SimpleSymbolColor,
                         ::testing::Values(SimpleKindCase{"Marker", host::esriGeometryPoint},
                                           SimpleKindCase{"Line", host::esriGeometryPolyline},
                                           SimpleKindCase{"Fill", host::esriGeometryPolygon}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(SymbolCopy, APictureMarkerRaisesError2021) {
    const auto picture = std::make_shared<objects::PictureMarkerSymbol>(m_context);
    const auto layer = m_host.FeatureLayerNamed("Source");
    layer->SetRenderer(testing::Legend(m_context, "Key", {{"a", picture}}));

    try {
        GetSimpleSymbolColor(layer, FirstFeature());
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), 2021);
        EXPECT_EQ(error.Description(), "Symbol type must be simple");
    }
}

TEST_F(SymbolCopy, AFeatureTheLegendDrawsWithNoSymbolRaisesError2021) {
    // "a" has no value and the legend draws nothing for other values.
    const auto legend = testing::Legend(
        m_context, "Key", {{"b", testing::SimpleSymbol(m_context, host::esriGeometryPoint, {})}});
    legend->SetUseDefaultSymbol(false);
    const auto layer = m_host.FeatureLayerNamed("Source");
    layer->SetRenderer(legend);

    try {
        GetSimpleSymbolColor(layer, FirstFeature());
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), kErrSymbolNotSimple);
    }
}

TEST_F(SymbolCopy, NoRendererRaisesAHostErrorNotACrash) {
    try {
        GetSimpleSymbolColor(std::shared_ptr<host::IFeatureRenderer>{}, FirstFeature());
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_POINTER);
    }
}

TEST_F(SymbolCopy, SimpleSymbolColorsAnswersAsGetSimpleSymbolColorForEverySymbolAndAgain) {
    // Symbols of every kind and some that are not simple, asked twice, with
    // every colour object replaced in between.
    memory::HostBuilder builder;
    builder.FeatureLayer("Many", host::esriGeometryPoint).Field("Key", host::esriFieldTypeString);
    std::vector<std::pair<std::string, std::shared_ptr<host::ISymbol>>> values;
    constexpr std::int32_t kShapes[] = {host::esriGeometryPoint, host::esriGeometryPolyline,
                                        host::esriGeometryPolygon};
    for (int i = 0; i < 300; ++i) {
        const std::string key = std::to_string(i);
        builder.Feature({key});
        values.emplace_back(
            key, i % 4 == 3 ? std::make_shared<objects::PictureMarkerSymbol>(m_context)
                            : testing::SimpleSymbol(m_context, kShapes[i % 4], testing::kBlue));
    }
    memory::ReferenceHost host = builder.Build();
    const auto layer = host.FeatureLayerNamed("Many");
    const auto renderer = testing::Legend(m_context, "Key", values);
    layer->SetRenderer(renderer);
    const auto errorOf = [](const auto& ask) {
        try {
            return ask() == nullptr ? -1 : 0;
        } catch (const Error& error) {
            return error.Number();
        }
    };

    SimpleSymbolColors colors(renderer);
    for (int pass = 0; pass < 2; ++pass) {
        const auto cursor = layer->Search(nullptr, false);
        while (const auto feature = cursor->NextFeature()) {
            std::shared_ptr<host::IColor> expected;
            std::shared_ptr<host::IColor> got;
            const int expectedError =
                errorOf([&] { return expected = GetSimpleSymbolColor(renderer, feature); });
            ASSERT_EQ(errorOf([&] { return got = colors.Of(feature); }), expectedError);
            ASSERT_EQ(got, expected);
        }
        for (const auto& [key, symbol] : values) {
            const auto rgb = objects::MakeRgbColor(m_context, 1, 2, 3);
            if (auto marker = host::As<host::ISimpleMarkerSymbol>(symbol)) marker->SetColor(rgb);
            if (auto line = host::As<host::ISimpleLineSymbol>(symbol)) line->SetColor(rgb);
            if (auto fill = host::As<host::ISimpleFillSymbol>(symbol)) fill->SetColor(rgb);
        }
    }
}

TEST_F(SymbolCopy, SimpleSymbolColorsKeepsNoneOfTheSymbolsARendererMakesPerFeatureAlive) {
    // A host may make a new symbol object each time it is asked.
    class FreshSymbols final : public host::IFeatureRenderer {
      public:
        explicit FreshSymbols(std::shared_ptr<objects::HostContext> context)
            : m_context(std::move(context)) {}
        std::shared_ptr<host::ISymbol> SymbolByFeature(
            const std::shared_ptr<host::IFeature>&) override {
            auto symbol = testing::SimpleSymbol(m_context, host::esriGeometryPoint, testing::kRed);
            made.push_back(symbol);
            return symbol;
        }
        std::vector<std::weak_ptr<host::ISymbol>> made;

      private:
        std::shared_ptr<objects::HostContext> m_context;
    };
    const auto renderer = std::make_shared<FreshSymbols>(m_context);
    SimpleSymbolColors colors(renderer);
    const auto feature = FirstFeature();
    for (int i = 0; i < 100; ++i) EXPECT_EQ(ColorOf(colors.Of(feature)), testing::kRed);

    const auto alive = std::count_if(renderer->made.begin(), renderer->made.end(),
                                     [](const auto& symbol) { return !symbol.expired(); });
    EXPECT_EQ(alive, 0);
}

TEST_F(SymbolCopy, SimpleSymbolColorsWithoutARendererRaisesAtTheFirstFeature) {
    SimpleSymbolColors colors(nullptr);
    try {
        colors.Of(FirstFeature());
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), host::E_HOST_POINTER);
    }
}

TEST_F(SymbolCopy, ColorCopiesCopyEveryColourAndRaiseAsAskingForTheInterfacesWould) {
    // A colour of another host, without the clone interface.
    class BareColor final : public host::IColor {
      public:
        std::int32_t RGB() const override { return 0x0000FF; }
    };
    ColorCopies copies;
    // Each twice in a row: the second time takes the way learnt from the first.
    for (const auto& red : {objects::MakeRgbColor(m_context, 255, 0, 0),
                            objects::MakeRgbColor(m_context, 255, 0, 0)}) {
        const auto copy = copies.Of(red);
        EXPECT_NE(copy.get(), static_cast<host::IColor*>(red.get()));
        EXPECT_EQ(ColorOf(copy), ColorOf(red));
    }
    const auto bare = std::make_shared<BareColor>();
    for (const auto& [color, number] : std::vector<std::pair<std::shared_ptr<host::IColor>, int>>{
             {bare, host::E_HOST_NOINTERFACE},
             {bare, host::E_HOST_NOINTERFACE},
             {nullptr, host::E_HOST_POINTER}}) {
        try {
            copies.Of(color);
            ADD_FAILURE() << "no error " << number;
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), number);
        }
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

class SymbolRule : public SymbolCopy, public ::testing::WithParamInterface<SymbolRuleCase> {
  protected:
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
    const SymbolRuleCase& rule = GetParam();
    const auto color = objects::MakeRgbColor(m_context, 12, 34, 56);
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
    PointLinePolygon, SymbolRule,
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
                                     host::esriSFSSolid, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(SymbolCopy, OtherShapesAreRefusedWithARunTimeError) {
    const auto color = objects::MakeRgbColor(m_context, 1, 2, 3);
    for (const std::int32_t shape :
         {host::esriGeometryMultipoint, host::esriGeometryNull, host::esriGeometryMultiPatch}) {
        EXPECT_THROW(MakeDefaultSymbol(shape, Factory()), Error) << shape;
        EXPECT_THROW(MakeValueSymbol(shape, color, Factory()), Error) << shape;
    }
}

}  // namespace
}  // namespace velorin::copylegend
