#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/memory/feature_class.h"
#include "platform/objects/host_context.h"

class GDALDataset;

namespace velorin::gdal {

// What a data set layer is read as.
enum class LayerRole {
    Auto,          // a feature class when the layer has geometry, else a table
    FeatureClass,  // a layer without geometry is refused
    Table,         // attributes only; any geometry is left unread
};

// How a layer's features are taken from GDAL. The result is the same either way;
// the choice is there to compare the two.
enum class ReadPath {
    Fastest,      // a GeoPackage table through GDAL's Arrow stream when it gives the
                  // layer exactly as the loop reads it, else the loop
    FeatureLoop,  // GDAL's feature loop
    ArrowStream,  // the Arrow stream only; a layer it cannot give as the loop reads
                  // it raises
};

// Exactly one of the two is set.
struct LayerData {
    std::shared_ptr<memory::FeatureClass> featureClass;
    std::shared_ptr<memory::Table> table;
};

// One vector data set, opened read-only for as long as the reader lives; its
// layers are read whole on demand. Every failure raises velorin::Error
// (E_HOST_FAIL) whose description starts with the file's display name.
//
// How a layer becomes host data:
//   - fields: integer 1 (16-bit subtype: small integer 0), 64-bit integer 1 when
//     every value fits 32 bits else big integer 13 (values int64), real 3
//     (32-bit subtype: single 2), string and list types 4 (lists in GDAL's text
//     form "(2:1,2)"), date, time and date-time 5 (a time alone is a time on day
//     0, 1899-12-30; time zones are ignored), binary 8. Unset and null both read
//     as null. Field aliases are kept. Text is UTF-8: GDAL recodes it from the
//     encoding the data set declares (a Shapefile's .cpg or code page mark); text
//     from a data set that declares none and is not UTF-8 is read as Latin-1.
//   - the object id field comes first, named as the layer's FID column, else
//     "OBJECTID"; then the geometry field (named as the geometry column, else
//     "Shape"); then the attributes. A generated name that an attribute already
//     uses gets a suffix ("OBJECTID_1").
//   - object ids: the FIDs when every one is positive, below 2^31 and above the
//     one before; otherwise 1, 2, ... in reading order (Shapefiles and plain
//     GeoJSON count from 0). Reading order is stable, so ids are the same on
//     every load of an unchanged file.
//   - shapes: points, multipoints, lines, multilines, polygons and multipolygons
//     (holes are rings of the polygon; the closing point of a ring is dropped),
//     curves linearised first, Z and M dropped, empty geometries read as no shape.
//     The layer's shape type is its declared geometry type merged with every
//     feature's: points and multipoints give multipoint, lines and multilines
//     polyline, polygons and multipolygons polygon. Geometry collections,
//     surfaces of triangles, mixed dimensions and non-finite coordinates are
//     refused, naming the layer (and the feature by the object id it would have).
//   - only the first geometry field of a layer is read.
class DataSetReader {
  public:
    // display: how messages name the file (the path as the user or the document
    // wrote it).
    DataSetReader(std::filesystem::path file, std::string display);
    ~DataSetReader();
    DataSetReader(const DataSetReader&) = delete;
    DataSetReader& operator=(const DataSetReader&) = delete;
    DataSetReader(DataSetReader&&) = delete;
    DataSetReader& operator=(DataSetReader&&) = delete;

    const std::filesystem::path& File() const { return m_file; }
    const std::string& Display() const { return m_display; }

    // The data set's layers in its own order; raises, saying why, when it has
    // none that GDAL can read (a folder of Shapefiles without their .shx files).
    std::vector<std::string> LayerNames() const;
    bool HasLayer(const std::string& name) const;
    LayerData Read(const std::string& name, LayerRole role,
                   const std::shared_ptr<objects::HostContext>& context,
                   ReadPath path = ReadPath::Fastest) const;

  private:
    struct Closer {
        void operator()(GDALDataset* dataset) const;
    };

    std::filesystem::path m_file;
    std::string m_display;
    std::unique_ptr<GDALDataset, Closer> m_dataset;
};

}  // namespace velorin::gdal
