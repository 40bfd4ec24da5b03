#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/memory/feature_class.h"

class OGRSpatialReference;

// Coordinate systems of maps and data sets, through GDAL and PROJ. A map has one
// system; every layer read in another is transformed into it as it is loaded, so
// the reference host, the tools and the screen work in the map's units alone.
namespace velorin::gdal {

// A coordinate system, or none (a data set that declares none: its coordinates
// are taken as they are). Immutable and cheap to copy.
class CoordinateSystem {
  public:
    CoordinateSystem() = default;
    // Anything GDAL takes for a system: "EPSG:4326", WKT, PROJ strings. Raises
    // velorin::Error (E_HOST_FAIL) with GDAL's complaint for text it cannot read.
    static CoordinateSystem FromText(const std::string& text);
    // The system of a data set's layer; none when the layer declares none.
    // Raises when the file cannot be opened or has no such layer.
    static CoordinateSystem OfLayer(const std::filesystem::path& file, const std::string& layer);

    bool Empty() const { return m_srs == nullptr; }
    // What a document records: "EPSG:<code>" when the system has one, else its
    // WKT. "" for none.
    const std::string& Text() const { return m_text; }
    // For a person: "EPSG:4326" or "WGS 84" for a system without a code; "" for none.
    std::string Label() const;
    // The system's own name ("WGS 84 / UTM zone 32N").
    std::string Name() const;
    bool Geographic() const;
    // Metres in one map unit along a parallel at latitude (degrees): the linear
    // unit of a projected system; for a geographic one the length of a degree of
    // longitude on the system's ellipsoid there. 1 for none, as nothing better is
    // known of its units.
    double MetresPerUnit(double latitude) const;
    // Whether the two are the same system (a layer in it needs no transformation).
    bool SameAs(const CoordinateSystem& other) const;

    const OGRSpatialReference* Srs() const { return m_srs.get(); }

  private:
    std::shared_ptr<const OGRSpatialReference> m_srs;
    std::string m_text;
};

// The features of data, in a new feature class of the same name, fields, object
// ids and values, their shapes transformed from one system into the other vertex
// by vertex. A shape with a vertex that PROJ cannot transform (outside what the
// target projects, as a point a quarter of the world from a transverse Mercator
// zone's meridian) is left without a shape and counted in lost. Raises when GDAL has no
// transformation between the two.
std::shared_ptr<memory::FeatureClass> Reprojected(const memory::FeatureClass& data,
                                                  const CoordinateSystem& from,
                                                  const CoordinateSystem& to, std::size_t& lost);

}  // namespace velorin::gdal
