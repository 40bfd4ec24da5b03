#pragma once

#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/gdal/gdal_error_scope.h"

namespace velorin::gdal::testing {

// A fresh folder for one test, removed with everything in it afterwards.
class TempFolder {
  public:
    TempFolder() {
        static std::atomic<int> counter{0};
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            m_path = base / ("velorin-gdal-" + std::to_string(::getpid()) + "-" +
                             std::to_string(counter++));
            if (std::filesystem::create_directory(m_path)) break;
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    TempFolder(TempFolder&&) = delete;
    TempFolder& operator=(TempFolder&&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

    // The names in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::filesystem::path m_path;
};

inline void WriteText(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

inline std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct OgrField {
    const char* name;
    OGRFieldType type;
    OGRFieldSubType subType = OFSTNone;
};

// Writes a small data set through OGR itself, as another program would. GDAL's
// warnings (a test may write what the format frowns upon) stay off the output.
class OgrWriter {
  public:
    OgrWriter(const std::filesystem::path& file, const char* driverName) {
        RegisterGdalDrivers();
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
        if (!driver) throw std::runtime_error(std::string("no OGR driver ") + driverName);
        m_dataset.reset(driver->Create(file.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        if (!m_dataset) throw std::runtime_error("cannot create " + file.string());
    }

    OGRLayer& Layer(const char* name, OGRwkbGeometryType type, const std::vector<OgrField>& fields,
                    std::vector<std::string> options = {}) {
        std::vector<char*> list;
        for (auto& option : options) list.push_back(option.data());
        list.push_back(nullptr);
        OGRLayer* layer = m_dataset->CreateLayer(name, nullptr, type, list.data());
        if (!layer) throw std::runtime_error(std::string("cannot create layer ") + name);
        for (const auto& field : fields) {
            OGRFieldDefn definition(field.name, field.type);
            definition.SetSubType(field.subType);
            if (layer->CreateField(&definition) != OGRERR_NONE) {
                throw std::runtime_error(std::string("cannot create field ") + field.name);
            }
        }
        return *layer;
    }

    // wkt empty: no geometry. set fills the attributes.
    static void Feature(OGRLayer& layer, const std::string& wkt,
                        const std::function<void(OGRFeature&)>& set = {},
                        GIntBig fid = OGRNullFID) {
        OGRFeature feature(layer.GetLayerDefn());
        feature.SetFID(fid);
        if (!wkt.empty()) {
            OGRGeometry* geometry = nullptr;
            if (OGRGeometryFactory::createFromWkt(wkt.c_str(), nullptr, &geometry) != OGRERR_NONE) {
                throw std::runtime_error("bad WKT " + wkt);
            }
            feature.SetGeometryDirectly(geometry);
        }
        if (set) set(feature);
        if (layer.CreateFeature(&feature) != OGRERR_NONE) {
            throw std::runtime_error("cannot write a feature");
        }
    }

    void Close() { m_dataset.reset(); }

  private:
    GdalErrorScope m_quiet;
    GDALDatasetUniquePtr m_dataset;
};

}  // namespace velorin::gdal::testing
