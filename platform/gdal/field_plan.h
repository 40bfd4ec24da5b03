#pragma once

#include <ogr_feature.h>
#include <ogrsf_frmts.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/field_value.h"
#include "platform/objects/fields.h"
#include "platform/objects/host_context.h"
#include "platform/memory/row_store.h"

// The field mapping of a data set layer: which host field each GDAL field
// becomes, and how its values are read. Internal to platform/gdal; the mapping
// as a whole is described at DataSetReader.
namespace velorin::gdal {

// How one data set field is read: Text for a plain string field, AsText for any
// other field read through its text form (lists).
enum class ValueKind { Integer, Integer64, Real, Text, Date, Binary, AsText };

struct FieldPlan {
    std::string name;
    std::string alias;
    std::int32_t type;  // host field type; Integer64 fields are settled after reading
    ValueKind kind;
};

// GDAL recodes text to UTF-8 from the encoding a data set declares (a
// Shapefile's .cpg or code page mark); text still not UTF-8 comes from a data set
// that declares none, and is read as Latin-1 (ISO-8859-1), which every byte is.
// Text ends at its first NUL, as GDAL's own strings do. A null text is empty.
std::string Utf8Text(std::string_view text);
std::string Utf8Text(const char* text);

FieldPlan PlanField(const OGRFieldDefn& definition);

// The value of the feature's field at index, read as kind (its plan's); null when
// the field is unset or null.
host::FieldValue ReadValue(const OGRFeature& feature, int index, ValueKind kind);

// The host fields of a layer: the object id first (named as the layer's FID
// column, else "OBJECTID"), the geometry field when asFeatures (named as the
// geometry column, else "Shape"), then the attributes of plans. A generated name
// that an attribute already uses gets a suffix ("OBJECTID_1").
std::shared_ptr<objects::Fields> MakeFieldSet(OGRLayer& layer, const std::vector<FieldPlan>& plans,
                                             bool asFeatures,
                                             const std::shared_ptr<objects::HostContext>& context);

// 64-bit integers that all fit 32 bits read as plain integers: GeoPackage's
// INTEGER columns and wide Shapefile numbers arrive as 64-bit although they
// hold ordinary ids, and only plain integers can serve as key fields.
// fitsInteger: per attribute, whether every value read fits 32 bits.
void SettleIntegerTypes(memory::RowStore& store, const std::vector<FieldPlan>& plans,
                        const std::vector<bool>& fitsInteger);

}  // namespace velorin::gdal
