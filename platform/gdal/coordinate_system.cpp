#include "platform/gdal/coordinate_system.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "host/codes.h"
#include "host/error.h"
#include "platform/gdal/gdal_error_scope.h"
#include "platform/objects/geometry.h"
#include "platform/memory/row_store.h"

namespace velorin::gdal {

namespace {

struct SrsRelease {
    void operator()(const OGRSpatialReference* srs) const {
        if (srs != nullptr) const_cast<OGRSpatialReference*>(srs)->Release();
    }
};

// Longitude before latitude, as map x and y, whatever axis order the system's
// definition declares.
std::shared_ptr<const OGRSpatialReference> Adopt(OGRSpatialReference* srs) {
    srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return {srs, SrsRelease{}};
}

std::string TextOf(const OGRSpatialReference& srs) {
    const char* authority = srs.GetAuthorityName(nullptr);
    const char* code = srs.GetAuthorityCode(nullptr);
    if (authority != nullptr && code != nullptr && std::string(authority) == "EPSG") {
        return std::string("EPSG:") + code;
    }
    char* wkt = nullptr;
    const char* const options[] = {"FORMAT=WKT2_2018", nullptr};
    srs.exportToWkt(&wkt, options);
    std::string text = wkt != nullptr ? wkt : "";
    CPLFree(wkt);
    return text;
}

struct TransformRelease {
    void operator()(OGRCoordinateTransformation* transform) const {
        OGRCoordinateTransformation::DestroyCT(transform);
    }
};

// Transforms the points in place; false when any of them cannot be.
bool TransformPath(OGRCoordinateTransformation& transform, objects::Path& path,
                   std::vector<double>& xs, std::vector<double>& ys, std::vector<int>& ok) {
    const std::size_t n = path.size();
    xs.resize(n);
    ys.resize(n);
    ok.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        xs[i] = path[i].x;
        ys[i] = path[i].y;
    }
    if (n > 0 && !transform.Transform(static_cast<std::size_t>(n), xs.data(), ys.data(), nullptr,
                                      ok.data())) {
        return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (ok[i] == 0 || !std::isfinite(xs[i]) || !std::isfinite(ys[i])) return false;
        path[i] = objects::XY{xs[i], ys[i]};
    }
    return true;
}

}  // namespace

CoordinateSystem CoordinateSystem::FromText(const std::string& text) {
    GdalErrorScope errors;
    auto* srs = new OGRSpatialReference();
    // A document names a system; it must not make GDAL read a file or the network.
    const char* const options[] = {"ALLOW_NETWORK_ACCESS=NO", "ALLOW_FILE_ACCESS=NO", nullptr};
    if (srs->SetFromUserInput(text.c_str(), options) != OGRERR_NONE) {
        srs->Release();
        throw Error(host::E_HOST_FAIL,
                    "not a coordinate system GDAL knows (" + errors.FailureOr("unreadable") + ")");
    }
    CoordinateSystem system;
    system.m_srs = Adopt(srs);
    system.m_text = TextOf(*system.m_srs);
    return system;
}

CoordinateSystem CoordinateSystem::OfLayer(const std::filesystem::path& file,
                                           const std::string& layer) {
    RegisterGdalDrivers();
    GdalErrorScope errors;
    const GDALDatasetUniquePtr dataset(GDALDataset::Open(
        file.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    OGRLayer* found = dataset ? dataset->GetLayerByName(layer.c_str()) : nullptr;
    if (found == nullptr) {
        throw Error(host::E_HOST_FAIL, file.generic_string() + ": layer \"" + layer +
                                           "\": " + errors.FailureOr("cannot be read"));
    }
    const OGRSpatialReference* declared = found->GetSpatialRef();
    CoordinateSystem system;
    if (declared == nullptr) return system;
    system.m_srs = Adopt(declared->Clone());
    system.m_text = TextOf(*system.m_srs);
    return system;
}

std::string CoordinateSystem::Label() const {
    if (Empty()) return {};
    return m_text.starts_with("EPSG:") ? m_text : Name();
}

std::string CoordinateSystem::Name() const {
    if (Empty()) return {};
    const char* name = m_srs->GetName();
    return name != nullptr ? name : "";
}

bool CoordinateSystem::Geographic() const { return !Empty() && m_srs->IsGeographic(); }

double CoordinateSystem::MetresPerUnit(double latitude) const {
    if (Empty()) return 1.0;
    if (!m_srs->IsGeographic()) return m_srs->GetLinearUnits(nullptr);
    // The radius of the parallel on the ellipsoid, a cos(phi) / sqrt(1 - e^2
    // sin^2(phi)), over the degrees in a turn.
    OGRErr error = OGRERR_NONE;
    const double a = m_srs->GetSemiMajor(&error);
    const double inverseFlattening = m_srs->GetInvFlattening(&error);
    const double f = inverseFlattening > 0 ? 1.0 / inverseFlattening : 0.0;
    const double e2 = f * (2 - f);
    const double phi = std::clamp(latitude, -90.0, 90.0) * std::numbers::pi / 180.0;
    const double parallel = a * std::cos(phi) / std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi));
    // The angular unit (degrees, grads) in radians.
    return parallel * m_srs->GetAngularUnits(nullptr);
}

bool CoordinateSystem::SameAs(const CoordinateSystem& other) const {
    if (Empty() || other.Empty()) return Empty() == other.Empty();
    const char* const options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES",
                                   "CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS", nullptr};
    return m_srs->IsSame(other.m_srs.get(), options) != 0;
}

std::shared_ptr<memory::FeatureClass> Reprojected(const memory::FeatureClass& data,
                                                  const CoordinateSystem& from,
                                                  const CoordinateSystem& to, std::size_t& lost) {
    GdalErrorScope errors;
    const std::unique_ptr<OGRCoordinateTransformation, TransformRelease> transform(
        OGRCreateCoordinateTransformation(from.Srs(), to.Srs()));
    if (!transform) {
        throw Error(host::E_HOST_FAIL, "layer \"" + data.Name() + "\": no transformation from " +
                                           from.Label() + " to " + to.Label() + " (" +
                                           errors.FailureOr("PROJ knows none") + ")");
    }
    const memory::RowStore& source = *data.Store();
    const auto& fields = *source.FieldSet();
    std::vector<std::size_t> attributes;
    for (std::int32_t i = 0; i < fields.Count(); ++i) {
        const std::int32_t type = fields.At(i).Type();
        if (type != host::esriFieldTypeOID && type != host::esriFieldTypeGeometry) {
            attributes.push_back(static_cast<std::size_t>(i));
        }
    }
    auto store = std::make_shared<memory::RowStore>(source.Context(), source.FieldSet(), true);
    const bool points = data.ShapeType() == host::esriGeometryPoint;
    store->Reserve(source.Size(), points ? memory::RowStore::ShapeRoom::Points
                                         : memory::RowStore::ShapeRoom::Objects);
    std::vector<double> xs;
    std::vector<double> ys;
    std::vector<int> ok;
    std::vector<host::FieldValue> values;
    for (std::size_t position = 0; position < source.Size(); ++position) {
        values.clear();
        const memory::RowValues row = source.ValuesAt(position);
        for (const std::size_t field : attributes) values.push_back(row[field]);
        const std::int32_t oid = source.OidAt(position);
        const std::shared_ptr<host::IGeometry> shape = source.ShapeAt(position);
        if (const auto* point = dynamic_cast<const objects::PointGeometry*>(shape.get())) {
            objects::Path one{point->Coords()};
            if (TransformPath(*transform, one, xs, ys, ok)) {
                store->Add(std::move(values), one.front(), oid);
                continue;
            }
            ++lost;
        } else if (const auto* parts =
                       dynamic_cast<const objects::MultiPartGeometry*>(shape.get())) {
            std::vector<objects::Path> moved = parts->Parts();
            bool whole = true;
            for (objects::Path& path : moved)
                whole = whole && TransformPath(*transform, path, xs, ys, ok);
            if (whole) {
                store->Add(std::move(values),
                           std::make_shared<objects::MultiPartGeometry>(
                               source.Context(), parts->GeometryType(), std::move(moved)),
                           oid);
                continue;
            }
            ++lost;
        }
        store->Add(std::move(values), std::shared_ptr<host::IGeometry>(), oid);
    }
    store->Compact();
    return std::make_shared<memory::FeatureClass>(source.Context(), data.Name(), data.ShapeType(),
                                                  data.FeatureType(), std::move(store));
}

}  // namespace velorin::gdal
