#include "platform/gdal/pass_builder.h"

#include <limits>
#include <new>
#include <string>
#include <variant>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::gdal {

std::string FeatureText(std::int64_t oid) { return "feature OID " + std::to_string(oid); }

void Fail(const std::string& where, const std::string& what) {
    throw Error(host::E_HOST_FAIL, where + what);
}

PassBuilder::PassBuilder(OGRLayer& layer, const LayerPlan& plan, Layout& layout, bool store,
                         const std::string& where,
                         const std::shared_ptr<objects::HostContext>& context)
    : m_layout(layout), m_where(where), m_maker(context) {
    m_pass.fitsInteger.assign(plan.fields.size(), true);
    if (store) {
        try {
            m_pass.store = std::make_shared<memory::RowStore>(
                context, MakeFieldSet(layer, plan.fields, layout.withShapes, context),
                layout.withShapes);
        } catch (const Error& error) {
            m_pass.refusal = error.Description();
        }
    }
    if (m_pass.store && plan.expectedRows > 0) {
        using Room = memory::RowStore::ShapeRoom;
        const Room shapes = !layout.withShapes                  ? Room::None
                            : layout.kind == ShapeKind::Point   ? Room::Points
                            : layout.kind == ShapeKind::Unknown ? Room::None
                                                                : Room::Objects;
        try {
            m_pass.store->Reserve(plan.expectedRows, shapes);
        } catch (const std::bad_alloc&) {
            // The count is a hint: the arrays grow as rows come.
        }
    }
    m_values.reserve(plan.fields.size());
}

void PassBuilder::Begin(GIntBig fid) {
    if (m_count == static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        Fail(m_where, "has more features than object ids can number");
    }
    if (m_layout.fidsUsable &&
        (fid <= m_lastFid || fid > std::numeric_limits<std::int32_t>::max())) {
        m_layout.fidsUsable = false;
        if (m_pass.store && m_pass.store->Size() > 0) m_pass.again = true;
    }
    m_lastFid = fid;
    ++m_count;
    m_oid = m_layout.fidsUsable ? fid : static_cast<std::int64_t>(m_count);
    m_values.clear();
}

void PassBuilder::Check(std::unique_ptr<OGRGeometry>& geometry) {
    if (geometry && geometry->IsEmpty()) geometry.reset();
    if (!geometry) return;
    CheckKind(geometry->getGeometryType(), geometry->getGeometryName());
    if (geometry->hasCurveGeometry()) {
        geometry.reset(geometry->getLinearGeometry());
        if (!geometry) Fail(m_where, FeatureText(m_oid) + ": a curve cannot be linearised");
    }
}

template <class Add>
void PassBuilder::Keep(const Add& add) {
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        if (const auto* wide = std::get_if<std::int64_t>(&m_values[i].Get())) {
            m_pass.fitsInteger[i] = m_pass.fitsInteger[i] &&
                                    *wide >= std::numeric_limits<std::int32_t>::min() &&
                                    *wide <= std::numeric_limits<std::int32_t>::max();
        }
    }
    try {
        add(ShapeTypeOf(m_layout.kind), static_cast<std::int32_t>(m_oid));
    } catch (const Error& error) {
        m_pass.refusal = error.Description();
        m_pass.refusedFeature.emplace(m_lastFid, m_count - 1);
        m_pass.store.reset();
    }
}

void PassBuilder::Store(const OGRGeometry* geometry) {
    Keep([&](std::int32_t shapeType, std::int32_t id) {
        if (const auto point =
                geometry ? ShapeMaker::PointOf(*geometry, shapeType) : std::nullopt) {
            m_shapesStored = true;
            m_pass.store->Add(std::move(m_values), *point, id);
        } else {
            auto shape = geometry ? m_maker.Make(*geometry, shapeType) : nullptr;
            m_shapesStored = m_shapesStored || shape != nullptr;
            m_pass.store->Add(std::move(m_values), std::move(shape), id);
        }
    });
}

void PassBuilder::Store(objects::XY point) {
    if (ShapeTypeOf(m_layout.kind) != host::esriGeometryPoint) {
        const OGRPoint geometry(point.x, point.y);
        Store(&geometry);
        return;
    }
    Keep([&](std::int32_t, std::int32_t id) {
        m_shapesStored = true;
        m_pass.store->Add(std::move(m_values), point, id);
    });
}

void PassBuilder::CheckKind(OGRwkbGeometryType type, const char* name) {
    const auto own = KindOf(type);
    if (!own || *own == ShapeKind::Unknown) {
        Fail(m_where, FeatureText(m_oid) + ": a " + name +
                          " cannot be shown (points, lines and polygons only)");
    }
    const auto merged = Merge(m_layout.kind, *own);
    if (!merged) {
        Fail(m_where, FeatureText(m_oid) + " is a " + name + " among " + KindName(m_layout.kind) +
                          "; a layer holds one kind of shape");
    }
    // Only points meeting a multipoint change the kind once shapes are made.
    if (*merged != m_layout.kind && m_shapesStored) m_pass.again = true;
    m_layout.kind = *merged;
}

}  // namespace velorin::gdal
