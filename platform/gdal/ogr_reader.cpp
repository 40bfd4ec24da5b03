#include "platform/gdal/ogr_reader.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string_view>
#include <system_error>
#include <utility>

#include "host/codes.h"
#include "host/error.h"
#include "platform/gdal/arrow_stream.h"
#include "platform/gdal/feature_loop.h"
#include "platform/gdal/field_plan.h"
#include "platform/gdal/gdal_error_scope.h"
#include "platform/gdal/pass_builder.h"
#include "platform/gdal/shape_maker.h"

namespace velorin::gdal {

namespace {

using objects::HostContext;

LayerPlan PlanLayer(OGRLayer& layer, LayerRole role, const std::string& where) {
    OGRFeatureDefn& definition = *layer.GetLayerDefn();
    LayerPlan plan;
    for (int i = 0; i < definition.GetFieldCount(); ++i) {
        plan.fields.push_back(PlanField(*definition.GetFieldDefn(i)));
    }
    plan.hasGeometryField = definition.GetGeomFieldCount() > 0;
    plan.readShapes = role != LayerRole::Table && plan.hasGeometryField;
    if (plan.readShapes) {
        const OGRwkbGeometryType declared = definition.GetGeomFieldDefn(0)->GetType();
        const auto declaredKind = KindOf(declared);
        if (!declaredKind) {
            Fail(where, std::string("its geometry type ") + OGRGeometryTypeToName(declared) +
                            " cannot be shown (points, lines and polygons only)");
        }
        plan.declared = *declaredKind;
    }
    return plan;
}

// The layer's feature count when its driver keeps it (a GeoPackage's contents
// table, a Shapefile's index), so that a store can be sized before it is filled;
// 0 when counting would take a pass of its own. The count is a hint only: rows
// beyond it are still read. One above the file's size in bytes is not believed
// (no format holds a feature in less than a byte), nor one of a folder.
std::size_t ExpectedRows(OGRLayer& layer, const std::filesystem::path& file) {
    const GdalErrorScope quiet;
    if (!layer.TestCapability(OLCFastFeatureCount)) return 0;
    const GIntBig count = layer.GetFeatureCount(FALSE);
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(file, error);
    if (count <= 0 || error || static_cast<std::uintmax_t>(count) > bytes ||
        count > std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

// One pass over a layer by the path asked. Fastest becomes FeatureLoop once the
// stream cannot give the layer as the loop reads it; ArrowStream then raises.
Pass ReadPass(GDALDataset& dataset, OGRLayer& layer, const LayerPlan& plan, Layout& layout,
              bool store, ReadPath& path, const std::string& where,
              const std::shared_ptr<HostContext>& context) {
    if (path != ReadPath::FeatureLoop) {
        const Layout before = layout;
        PassBuilder pass(layer, plan, layout, store, where, context);
        if (ReadStream(dataset, layer, plan, layout.withShapes, pass)) return pass.Finish();
        if (path == ReadPath::ArrowStream) {
            Fail(where, "cannot be read through GDAL's Arrow stream as its feature loop reads it");
        }
        layout = before;
        path = ReadPath::FeatureLoop;
    }
    PassBuilder pass(layer, plan, layout, store, where, context);
    ReadFeatures(layer, plan, layout.withShapes, pass);
    return pass.Finish();
}

}  // namespace

void DataSetReader::Closer::operator()(GDALDataset* dataset) const {
    GdalErrorScope quiet;
    GDALClose(GDALDataset::ToHandle(dataset));
}

DataSetReader::DataSetReader(std::filesystem::path file, std::string display)
    : m_file(std::move(file)), m_display(std::move(display)) {
    RegisterGdalDrivers();
    std::error_code error;
    const auto status = std::filesystem::status(m_file, error);
    if (!std::filesystem::exists(status)) {
        throw Error(host::E_HOST_FAIL, m_display + ": no such file");
    }
    // A folder may be a data set (of Shapefiles); a pipe or a device could block
    // the read for ever.
    if (!std::filesystem::is_regular_file(status) && !std::filesystem::is_directory(status)) {
        throw Error(host::E_HOST_FAIL, m_display + ": is not a regular file");
    }
    GdalErrorScope errors;
    const std::string path = m_file.string();
    m_dataset.reset(
        GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR));
    if (!m_dataset) {
        throw Error(host::E_HOST_FAIL,
                    m_display + ": cannot be opened as a vector data set: " +
                        errors.FailureOr("GDAL recognises no vector format in it"));
    }
}

DataSetReader::~DataSetReader() = default;

std::vector<std::string> DataSetReader::LayerNames() const {
    // A folder of Shapefiles opens its layers only now, and says here which of
    // them it could not open.
    GdalErrorScope errors;
    std::vector<std::string> names;
    for (int i = 0; i < m_dataset->GetLayerCount(); ++i) {
        names.emplace_back(m_dataset->GetLayer(i)->GetName());
    }
    if (names.empty()) {
        throw Error(host::E_HOST_FAIL, m_display + ": holds no layer that can be read: " +
                                           errors.FailureOr("the data set is empty"));
    }
    return names;
}

bool DataSetReader::HasLayer(const std::string& name) const {
    GdalErrorScope quiet;
    return m_dataset->GetLayerByName(name.c_str()) != nullptr;
}

LayerData DataSetReader::Read(const std::string& name, LayerRole role,
                              const std::shared_ptr<HostContext>& context, ReadPath path) const {
    const std::string where = m_display + ": layer \"" + name + "\": ";
    GdalErrorScope errors;
    OGRLayer* layer = m_dataset->GetLayerByName(name.c_str());
    if (!layer) throw Error(host::E_HOST_FAIL, m_display + ": no layer named \"" + name + "\"");

    LayerPlan plan = PlanLayer(*layer, role, where);
    plan.expectedRows = ExpectedRows(*layer, m_file);
    Layout layout{plan.declared, true, plan.readShapes};
    // A feature class asked of a layer without geometry is refused, but only after
    // the layer is read through, as a fault of the data set itself comes first.
    const bool store = role != LayerRole::FeatureClass || plan.hasGeometryField;
    // Only GeoPackage fills the stream faster than the loop in this GDAL.
    const GDALDriver* driver = m_dataset->GetDriver();
    if (path == ReadPath::Fastest &&
        (driver == nullptr || std::string_view(driver->GetDescription()) != "GPKG")) {
        path = ReadPath::FeatureLoop;
    }
    for (;;) {
        Pass pass = ReadPass(*m_dataset, *layer, plan, layout, store, path, where, context);
        if (errors.Failed()) Fail(where, "cannot be read: " + errors.Failure());
        const bool asFeatures = plan.readShapes && layout.kind != ShapeKind::Unknown;
        if (role == LayerRole::FeatureClass && !asFeatures) {
            Fail(where, plan.hasGeometryField
                            ? "has no geometries to show, so its shape type is unknown"
                            : "has no geometry; it can only be a standalone table");
        }
        if (pass.refusal) {
            // The host's own message gains the layer and feature it was met at.
            std::string feature;
            if (pass.refusedFeature) {
                const auto [fid, position] = *pass.refusedFeature;
                feature =
                    FeatureText(layout.fidsUsable ? fid : static_cast<std::int64_t>(position) + 1) +
                    ": ";
            }
            throw Error(host::E_HOST_FAIL, where + feature + *pass.refusal);
        }
        // A geometry field without a single shape: the layer is a table.
        if (layout.withShapes && !asFeatures) {
            layout.withShapes = false;
            pass.again = true;
        }
        if (pass.again) continue;

        SettleIntegerTypes(*pass.store, plan.fields, pass.fitsInteger);
        pass.store->Compact();
        LayerData data;
        if (asFeatures) {
            data.featureClass = std::make_shared<memory::FeatureClass>(
                context, name, ShapeTypeOf(layout.kind), host::esriFTSimple, std::move(pass.store));
        } else {
            data.table = std::make_shared<memory::Table>(context, name, std::move(pass.store));
        }
        return data;
    }
}

}  // namespace velorin::gdal
