#include "app/symbology.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "host/codes.h"
#include "host/error.h"
#include "host/object.h"
#include "platform/objects/renderers.h"

namespace velorin::app {
namespace {

int Distance(objects::Rgb a, objects::Rgb b) {
    return std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue);
}

memory::ReferenceHost Cities(std::int32_t count) {
    memory::HostBuilder builder;
    builder.FeatureLayer("cities", host::esriGeometryPoint)
        .Field("country", host::esriFieldTypeString)
        .Field("rank", host::esriFieldTypeInteger);
    // Ranks 10, 9, ..., 1 and a null; countries repeat.
    const char* countries[] = {"Peru", "Chile", "Benin"};
    for (std::int32_t i = 0; i < count; ++i) {
        builder.Feature(
            {countries[i % 3], i == 0 ? host::FieldValue() : host::FieldValue(count - i)},
            objects::MakePoint(i, i));
    }
    return builder.Build();
}

TEST(DistinctColors, NeighboursStayApartAndNoColourRepeats) {
    const std::vector<objects::Rgb> colors = DistinctColors(60);
    std::set<std::int32_t> seen;
    for (std::size_t i = 0; i < colors.size(); ++i) {
        EXPECT_TRUE(seen.insert(colors[i].ToHost()).second) << "colour " << i << " repeats";
        if (i > 0) {
            EXPECT_GT(Distance(colors[i], colors[i - 1]), 120) << "colours " << i;
        }
    }
    EXPECT_EQ(DistinctColors(60)[17], colors[17]);
}

TEST(DistinctValues, InTheirNaturalOrderWithoutNullsThroughTheDefinitionQuery) {
    const auto host = Cities(12);
    const auto layer = host.FeatureLayerNamed("cities");
    std::vector<std::string> ranks;
    for (const auto& value : DistinctValues(*layer, "RANK")) ranks.push_back(host::ToText(value));
    // Numbers by value (10 after 9), the null left to "all other values".
    EXPECT_EQ(ranks,
              (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}));
    layer->SetDefinitionExpression("country = 'Chile'");
    std::vector<std::string> countries;
    for (const auto& value : DistinctValues(*layer, "country")) {
        countries.push_back(host::ToText(value));
    }
    EXPECT_EQ(countries, std::vector<std::string>{"Chile"});
}

TEST(DistinctValues, RefusesAMissingFieldAGeometryAndAFieldOfTooManyValues) {
    const auto host = Cities(static_cast<std::int32_t>(kMaxUniqueValues) + 2);
    const auto layer = host.FeatureLayerNamed("cities");
    for (const char* field : {"nation", "Shape", "OBJECTID"}) {
        EXPECT_THROW(DistinctValues(*layer, field), velorin::Error) << field;
    }
    EXPECT_EQ(DistinctValues(*layer, "country").size(), 3u);
}

TEST(Categorize, GivesTheLayerAHostUniqueValueRendererAndRefusalsChangeNothing) {
    const auto host = Cities(6);
    const auto layer = host.FeatureLayerNamed("cities");
    const auto before = layer->Renderer();
    EXPECT_THROW(Categorize(host, "cities", "nation"), velorin::Error);
    EXPECT_THROW(Categorize(host, "towns", "country"), velorin::Error);
    EXPECT_EQ(layer->Renderer(), before);

    Categorize(host, "cities", "country");
    const auto unique = std::dynamic_pointer_cast<objects::UniqueValueRenderer>(layer->Renderer());
    ASSERT_TRUE(unique);
    EXPECT_EQ(unique->Field(0), "country");
    EXPECT_TRUE(unique->FieldType(0));
    ASSERT_EQ(unique->ValueCount(), 3);
    EXPECT_EQ(unique->Value(0), "Benin");
    EXPECT_TRUE(unique->UseDefaultSymbol());
    EXPECT_EQ(layer->RendererPropertyPageClassID(), objects::UniqueValuePropertyPageClassID);
    // Each value draws in a colour of its own, as simple markers (what Copy Legend
    // Colors reads).
    std::set<std::int32_t> colors;
    for (std::int32_t i = 0; i < unique->ValueCount(); ++i) {
        const auto marker = host::As<host::ISimpleMarkerSymbol>(unique->Symbol(unique->Value(i)));
        ASSERT_TRUE(marker);
        colors.insert(marker->Color()->RGB());
    }
    EXPECT_EQ(colors.size(), 3u);
}

}  // namespace
}  // namespace velorin::app
