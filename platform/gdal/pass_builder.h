#pragma once

#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/field_value.h"
#include "platform/gdal/field_plan.h"
#include "platform/gdal/shape_maker.h"
#include "platform/objects/geometry.h"
#include "platform/objects/host_context.h"
#include "platform/memory/row_store.h"

// One pass over a data set layer, shared by the two ways of reading it (GDAL's
// feature loop and its Arrow stream): every feature checked against what the
// layer is laid out on, and its row stored. Internal to platform/gdal.
namespace velorin::gdal {

// Messages name a feature by the object id the map gives it, not by GDAL's FID
// (0-based in Shapefiles and plain GeoJSON).
std::string FeatureText(std::int64_t oid);

// Raises E_HOST_FAIL with where (the file and layer, ending in ": ") and what.
[[noreturn]] void Fail(const std::string& where, const std::string& what);

// How a layer is to be read, from its definition alone.
struct LayerPlan {
    std::vector<FieldPlan> fields;
    bool hasGeometryField = false;
    bool readShapes = false;
    ShapeKind declared = ShapeKind::Unknown;
    // The layer's feature count when its driver keeps one (see ExpectedRows), else 0.
    std::size_t expectedRows = 0;
};

// What the store is laid out on: known in part before reading, and corrected by
// what the features show. Each fact only ever moves one way (usable FIDs to
// unusable, points to multipoints, a geometry field to none), and a pass that
// finds one changed under rows it stored reads the rest of the layer for its
// checks alone, so a layer is read at most twice; in practice once, as a data
// set's FIDs are usable from the first feature or from none (0-based) and its
// declared type says which kind of shapes it holds.
struct Layout {
    ShapeKind kind = ShapeKind::Unknown;  // the declared kind merged with every feature's
    bool fidsUsable = true;               // the FIDs serve as object ids
    bool withShapes = false;              // the store has a geometry field
};

// One pass over a layer: every feature's checks, and its row stored as it is read.
struct Pass {
    // Empty when nothing is kept: storing was not asked for, was refused, or a fact
    // changed under the rows stored (again).
    std::shared_ptr<memory::RowStore> store;
    bool again = false;
    // The first refusal of the host's store (a duplicate field name, a value that
    // does not fit its field, a non-finite coordinate), raised only once the layer
    // has been read through, as faults of the data set come first; the feature is
    // named by the object id the whole layer gives it.
    std::optional<std::string> refusal;
    std::optional<std::pair<GIntBig, std::size_t>> refusedFeature;  // FID, position
    // Per attribute: every 64-bit integer value so far fits 32 bits.
    std::vector<bool> fitsInteger;
};

// A pass's checks and rows, feature by feature, whichever way the features are
// read: Begin, Check (or CheckPoint), then, while Storing, Values and Store. Each
// feature is checked against the layout (which is corrected) and its row appended
// to a new store when the pass stores. Raises for a feature the map cannot show,
// naming it by the object id the features read so far give it.
class PassBuilder {
  public:
    // layout and where are borrowed for the builder's life.
    PassBuilder(OGRLayer& layer, const LayerPlan& plan, Layout& layout, bool store,
                const std::string& where, const std::shared_ptr<objects::HostContext>& context);

    void Begin(GIntBig fid);

    // The feature's geometry, when the layer's shapes are read: an empty one becomes
    // none, and a curve is linearised.
    void Check(std::unique_ptr<OGRGeometry>& geometry);
    // As Check for a point that is not empty.
    void CheckPoint() { CheckKind(wkbPoint, "POINT"); }

    // Whether the feature's row is stored: its values are then added to Values,
    // one per attribute, and Store called.
    bool Storing() {
        if (m_pass.again) m_pass.store.reset();
        return m_pass.store != nullptr;
    }
    std::vector<host::FieldValue>& Values() { return m_values; }

    // geometry: as Check left it.
    void Store(const OGRGeometry* geometry);
    // As Store for a point of finite coordinates that CheckPoint passed.
    void Store(objects::XY point);

    Pass Finish() { return std::move(m_pass); }

  private:
    void CheckKind(OGRwkbGeometryType type, const char* name);
    // Notes which 64-bit values fit 32 bits, then has add(shapeType, objectId)
    // append the row; a refusal of the store is kept in the pass.
    template <class Add>
    void Keep(const Add& add);

    Layout& m_layout;
    const std::string& m_where;
    const ShapeMaker m_maker;
    Pass m_pass;
    std::vector<host::FieldValue> m_values;
    std::size_t m_count = 0;
    GIntBig m_lastFid = 0;
    std::int64_t m_oid = 0;
    bool m_shapesStored = false;
};

}  // namespace velorin::gdal
