#include "platform/gdal/field_plan.h"

#include <cpl_string.h>

#include <utility>

#include "host/codes.h"

namespace velorin::gdal {

namespace {

// A name for a generated field that no attribute uses.
std::string FreeName(std::string wanted, const std::vector<FieldPlan>& plans) {
    const auto used = [&](const std::string& name) {
        for (const auto& plan : plans) {
            if (objects::SameName(plan.name, name)) return true;
        }
        return false;
    };
    if (!used(wanted)) return wanted;
    for (int suffix = 1;; ++suffix) {
        std::string candidate = wanted + "_" + std::to_string(suffix);
        if (!used(candidate)) return candidate;
    }
}

}  // namespace

std::string Utf8Text(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    if (text.empty()) return {};
    if (CPLIsUTF8(text.data(), static_cast<int>(text.size()))) return std::string(text);
    const std::string latin1(text);
    char* recoded = CPLRecode(latin1.c_str(), CPL_ENC_ISO8859_1, CPL_ENC_UTF8);
    std::string result = recoded != nullptr ? recoded : "";
    CPLFree(recoded);
    return result;
}

std::string Utf8Text(const char* text) {
    return text != nullptr ? Utf8Text(std::string_view(text)) : std::string();
}

FieldPlan PlanField(const OGRFieldDefn& definition) {
    FieldPlan plan{
        Utf8Text(definition.GetNameRef()), {}, host::esriFieldTypeString, ValueKind::AsText};
    if (const char* alias = definition.GetAlternativeNameRef(); alias && *alias) {
        plan.alias = Utf8Text(alias);
    }
    switch (definition.GetType()) {
        case OFTString:
            plan.kind = ValueKind::Text;
            break;
        case OFTInteger:
            plan.kind = ValueKind::Integer;
            plan.type = definition.GetSubType() == OFSTInt16 ? host::esriFieldTypeSmallInteger
                                                             : host::esriFieldTypeInteger;
            break;
        case OFTInteger64:
            plan.kind = ValueKind::Integer64;
            plan.type = host::esriFieldTypeBigInteger;
            break;
        case OFTReal:
            plan.kind = ValueKind::Real;
            plan.type = definition.GetSubType() == OFSTFloat32 ? host::esriFieldTypeSingle
                                                               : host::esriFieldTypeDouble;
            break;
        case OFTDate:
        case OFTTime:
        case OFTDateTime:
            plan.kind = ValueKind::Date;
            plan.type = host::esriFieldTypeDate;
            break;
        case OFTBinary:
            plan.kind = ValueKind::Binary;
            plan.type = host::esriFieldTypeBlob;
            break;
        case OFTIntegerList:
        case OFTInteger64List:
        case OFTRealList:
        case OFTStringList:
        case OFTWideStringList:
            plan.kind = ValueKind::AsText;
            break;
        default:
            break;
    }
    return plan;
}

host::FieldValue ReadValue(const OGRFeature& feature, int index, ValueKind kind) {
    if (!feature.IsFieldSetAndNotNull(index)) return {};
    // The field's own type is known: its value is read as it is held.
    const OGRField& raw = *feature.GetRawFieldRef(index);
    switch (kind) {
        case ValueKind::Integer:
            return host::FieldValue(static_cast<std::int32_t>(raw.Integer));
        case ValueKind::Integer64:
            return host::FieldValue(static_cast<std::int64_t>(raw.Integer64));
        case ValueKind::Real:
            return host::FieldValue(raw.Real);
        case ValueKind::Date: {
            int year = 0, month = 0, day = 0, hour = 0, minute = 0, zone = 0;
            float second = 0;
            if (!feature.GetFieldAsDateTime(index, &year, &month, &day, &hour, &minute, &second,
                                            &zone)) {
                return {};
            }
            // A time without a date has year 0: the host's day 0.
            const host::Date midnight =
                year == 0 ? host::Date{0.0} : host::MakeDate(year, month, day);
            const double seconds = hour * 3600.0 + minute * 60.0 + static_cast<double>(second);
            return host::FieldValue(host::Date{midnight.days + seconds / 86400.0});
        }
        case ValueKind::Binary: {
            int size = 0;
            const GByte* bytes = feature.GetFieldAsBinary(index, &size);
            return host::FieldValue(
                std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size)));
        }
        case ValueKind::Text:
            return host::FieldValue(Utf8Text(raw.String));
        case ValueKind::AsText:
            break;
    }
    return host::FieldValue(Utf8Text(feature.GetFieldAsString(index)));
}

std::shared_ptr<objects::Fields> MakeFieldSet(OGRLayer& layer, const std::vector<FieldPlan>& plans,
                                             bool asFeatures,
                                             const std::shared_ptr<objects::HostContext>& context) {
    std::vector<std::shared_ptr<objects::Field>> fields;
    const char* fidColumn = layer.GetFIDColumn();
    fields.push_back(std::make_shared<objects::Field>(
        context, FreeName(fidColumn && *fidColumn ? fidColumn : "OBJECTID", plans),
        host::esriFieldTypeOID));
    if (asFeatures) {
        const char* geometryColumn = layer.GetGeometryColumn();
        fields.push_back(std::make_shared<objects::Field>(
            context, FreeName(geometryColumn && *geometryColumn ? geometryColumn : "Shape", plans),
            host::esriFieldTypeGeometry));
    }
    for (const auto& plan : plans) {
        fields.push_back(
            std::make_shared<objects::Field>(context, plan.name, plan.type, plan.alias));
    }
    return std::make_shared<objects::Fields>(context, std::move(fields));
}

void SettleIntegerTypes(memory::RowStore& store, const std::vector<FieldPlan>& plans,
                        const std::vector<bool>& fitsInteger) {
    const std::int32_t first = store.FieldSet()->ShapeIndex() >= 0 ? 2 : 1;
    for (std::size_t i = 0; i < plans.size(); ++i) {
        if (plans[i].kind == ValueKind::Integer64 && fitsInteger[i]) {
            store.Retype(first + static_cast<std::int32_t>(i), host::esriFieldTypeInteger);
        }
    }
}

}  // namespace velorin::gdal
