#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/host.h"
#include "platform/memory/feature_class.h"
#include "platform/objects/geometry.h"
#include "platform/objects/host_context.h"

namespace velorin::memory::testing {

// Five points with a field of every comparable kind, nulls scattered so that
// three-valued logic shows:
//   OID NerroID Name            Area  Flow  Born                 Small
//   1   12      "A"             0.1   1.5   2003-01-29           1
//   2   13      "b"             2.5   null  2003-01-30 06:30:05  2
//   3   null    x' OR 'a'='a    0.1   -3    null                 3
//   4   12      "O'Brien"       null  0     1999-12-31           null
//   5   20      null            7     1e20  2010-05-01           -4
inline std::shared_ptr<FeatureClass> MakeSampleClass(const std::shared_ptr<HostContext>& context) {
    auto fields = MakeFields(context, {{"NerroID", host::esriFieldTypeInteger, {}},
                                       {"Name", host::esriFieldTypeString, {}},
                                       {"Area", host::esriFieldTypeSingle, {}},
                                       {"Flow", host::esriFieldTypeDouble, {}},
                                       {"Born", host::esriFieldTypeDate, {}},
                                       {"Small", host::esriFieldTypeSmallInteger, {}}});
    auto sample = std::make_shared<FeatureClass>(context, "Junctions", host::esriGeometryPoint,
                                                 host::esriFTSimple, fields);
    const host::FieldValue null;
    sample->AddFeature({12, "A", 0.1, 1.5, host::MakeDate(2003, 1, 29), 1}, MakePoint(0, 0));
    sample->AddFeature({13, "b", 2.5, null, host::MakeDate(2003, 1, 30, 6, 30, 5), 2},
                       MakePoint(1, 1));
    sample->AddFeature({null, "x' OR 'a'='a", 0.1, -3, null, 3}, MakePoint(2, 2));
    sample->AddFeature({12, "O'Brien", null, 0, host::MakeDate(1999, 12, 31), null}, nullptr);
    sample->AddFeature({20, null, 7, 1e20, host::MakeDate(2010, 5, 1), -4}, MakePoint(4, 4));
    return sample;
}

// The object ids a cursor yields, in order.
inline std::vector<std::int32_t> OidsOf(const std::shared_ptr<host::ICursor>& cursor) {
    std::vector<std::int32_t> oids;
    while (auto row = cursor->NextRow()) oids.push_back(row->OID());
    return oids;
}

inline std::vector<std::int32_t> OidsOf(const std::shared_ptr<host::IFeatureCursor>& cursor) {
    std::vector<std::int32_t> oids;
    while (auto feature = cursor->NextFeature()) oids.push_back(feature->OID());
    return oids;
}

inline std::vector<std::int32_t> OidsAt(const RowStore& store,
                                        const std::vector<std::size_t>& positions) {
    std::vector<std::int32_t> oids;
    for (const std::size_t p : positions) oids.push_back(store.At(p).oid);
    return oids;
}

}  // namespace velorin::memory::testing
