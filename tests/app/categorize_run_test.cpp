// --categorize: Copy Legend Colors in a batch on a data set nobody wrote a
// document for.
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>

#include <sstream>

#include "app/command_line.h"
#include "app/headless_run.h"
#include "host/object.h"
#include "host/renderers.h"
#include "platform/gdal/map_document.h"
#include "tests/app/sample_folder.h"

namespace velorin::app {
namespace {

struct City {
    const char* name;
    const char* country;
    double x, y;
};

// cities.gpkg: "cities" (points: name, country) and "countries" (squares: name),
// each city inside its country.
std::filesystem::path WriteCities(const std::filesystem::path& folder) {
    GDALAllRegister();
    const std::filesystem::path file = folder / "cities.gpkg";
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
    std::unique_ptr<GDALDataset> dataset(
        driver->Create(file.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!dataset) throw std::runtime_error("cannot write " + file.string());
    OGRLayer* countries = dataset->CreateLayer("countries", nullptr, wkbPolygon, nullptr);
    OGRFieldDefn countryName("name", OFTString);
    countries->CreateField(&countryName);
    const char* names[] = {"Peru", "Chile", "Benin"};
    for (int i = 0; i < 3; ++i) {
        OGRFeature feature(countries->GetLayerDefn());
        feature.SetField("name", names[i]);
        OGRLinearRing ring;
        const double x = i * 10.0;
        ring.addPoint(x, 0);
        ring.addPoint(x + 10, 0);
        ring.addPoint(x + 10, 10);
        ring.addPoint(x, 10);
        ring.closeRings();
        OGRPolygon square;
        square.addRing(&ring);
        feature.SetGeometry(&square);
        if (countries->CreateFeature(&feature) != OGRERR_NONE) throw std::runtime_error("country");
    }
    OGRLayer* cities = dataset->CreateLayer("cities", nullptr, wkbPoint, nullptr);
    OGRFieldDefn cityName("name", OFTString);
    OGRFieldDefn country("country", OFTString);
    cities->CreateField(&cityName);
    cities->CreateField(&country);
    const City rows[] = {{"Lima", "Peru", 2, 3},
                         {"Cusco", "Peru", 7, 6},
                         {"Santiago", "Chile", 14, 4},
                         {"Cotonou", "Benin", 25, 5}};
    for (const City& city : rows) {
        OGRFeature feature(cities->GetLayerDefn());
        feature.SetField("name", city.name);
        feature.SetField("country", city.country);
        OGRPoint point(city.x, city.y);
        feature.SetGeometry(&point);
        if (cities->CreateFeature(&feature) != OGRERR_NONE) throw std::runtime_error("city");
    }
    return file;
}

class CategorizeRun : public ::testing::Test {
  protected:
    void SetUp() override { m_data = WriteCities(m_folder.Path()); }

    int Run(const std::vector<std::string>& extra, std::string* err = nullptr) {
        std::vector<std::string> words = {"--headless",     m_data.string(),   "--tool",
                                          "copylegend",     "--source-layer",  "cities",
                                          "--source-field", "country",         "--related-layer",
                                          "countries",      "--related-field", "name"};
        words.insert(words.end(), extra.begin(), extra.end());
        std::vector<std::string_view> views(words.begin(), words.end());
        const ParseResult parsed = ParseCommandLine(views);
        if (!parsed.commandLine) {
            ADD_FAILURE() << parsed.error;
            return -1;
        }
        std::ostringstream out;
        std::ostringstream errors;
        const int status = RunHeadless(parsed.commandLine->headless, out, errors);
        if (err != nullptr) *err = errors.str();
        return status;
    }

    testing::ScratchFolder m_folder;
    std::filesystem::path m_data;
};

TEST_F(CategorizeRun, CopyLegendColorsRunsOnADataSetGivenALegendOnTheCommandLine) {
    // Without a legend the tool has nothing to copy from.
    EXPECT_NE(Run({}), kExitFinished);

    const std::filesystem::path saved = m_folder.Path() / "coloured.json";
    ASSERT_EQ(Run({"--categorize", "cities=country", "--save", saved.string()}), kExitFinished);
    const gdal::MapDocument document = gdal::LoadMapDocument(saved);
    const auto cities =
        host::As<host::IUniqueValueRenderer>(document.host.FeatureLayerNamed("cities")->Renderer());
    const auto countries = host::As<host::IUniqueValueRenderer>(
        document.host.FeatureLayerNamed("countries")->Renderer());
    ASSERT_TRUE(cities);
    ASSERT_TRUE(countries);
    ASSERT_EQ(cities->ValueCount(), 3);
    for (const char* name : {"Peru", "Chile", "Benin"}) {
        const auto color = [&](const std::shared_ptr<host::IUniqueValueRenderer>& renderer) {
            const auto symbol = renderer->Symbol(name);
            if (const auto marker = host::As<host::IMarkerSymbol>(symbol)) {
                return marker->Color()->RGB();
            }
            return host::As<host::IFillSymbol>(symbol)->Color()->RGB();
        };
        EXPECT_EQ(color(countries), color(cities)) << name;
    }
}

TEST_F(CategorizeRun, ALayerOrFieldTheDataSetLacksIsAUsageMistake) {
    std::string err;
    EXPECT_EQ(Run({"--categorize", "cities=nation"}, &err), kExitUsage);
    EXPECT_NE(err.find("nation"), std::string::npos) << err;
    EXPECT_EQ(Run({"--categorize", "towns=country"}, &err), kExitUsage);
    EXPECT_NE(err.find("towns"), std::string::npos) << err;
    const std::vector<std::string_view> bad = {"--headless", "x.gpkg",       "--tool",
                                               "copylegend", "--categorize", "cities"};
    EXPECT_FALSE(ParseCommandLine(bad).commandLine);
}

}  // namespace
}  // namespace velorin::app
