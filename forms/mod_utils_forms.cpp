#include "forms/mod_utils_forms.h"

#include <algorithm>

#include "host/codes.h"
#include "host/object.h"

namespace velorin::forms {

namespace {

bool Contains(const std::optional<NameList>& names, const std::string& name) {
    return names && std::find(names->begin(), names->end(), name) != names->end();
}

void Offer(ui::ComboBox& list, const std::string& name,
           const std::optional<NameList>& excludeNames) {
    if (!Contains(excludeNames, name)) list.AddItem(name);
}

void OfferFeatureLayer(const host::IFeatureLayer& layer, ui::ComboBox& list,
                       const TypeList& featureTypes, const std::optional<TypeList>& shapeTypes,
                       const std::optional<NameList>& excludeNames) {
    const std::shared_ptr<host::IFeatureClass> featureClass = layer.FeatureClass();
    if (!featureClass) return;
    for (const std::int32_t featureType : featureTypes) {
        if (featureClass->FeatureType() != featureType) continue;
        if (featureType == host::esriFTSimple && shapeTypes) {
            for (const std::int32_t shapeType : *shapeTypes) {
                if (featureClass->ShapeType() == shapeType) {
                    Offer(list, layer.Name(), excludeNames);
                }
            }
        } else {
            Offer(list, layer.Name(), excludeNames);
        }
    }
}

// "<None>" first when asked for, then the preselection.
void FinishList(ui::ComboBox& list, const ListChoices& choices) {
    if (choices.noneEntry == NoneEntry::First) list.AddItem(std::string(kNoneEntry), 0);
    Preselect(list, choices.preferences);
}

}  // namespace

std::vector<std::int32_t> ListedFeatureTypes() {
    return {host::esriFTSimple, host::esriFTSimpleJunction, host::esriFTSimpleEdge,
            host::esriFTComplexJunction, host::esriFTComplexEdge};
}

// 64-bit integers are keys as much as 32-bit ones: most data sets written today
// (GeoPackage INTEGER columns, PostGIS bigint) hold every id as one.
std::vector<std::int32_t> SourceKeyFieldTypes() {
    return {host::esriFieldTypeInteger,      host::esriFieldTypeString, host::esriFieldTypeDouble,
            host::esriFieldTypeSmallInteger, host::esriFieldTypeSingle, host::esriFieldTypeOID,
            host::esriFieldTypeBigInteger};
}

std::vector<std::int32_t> RelatedKeyFieldTypes() {
    return {host::esriFieldTypeInteger, host::esriFieldTypeString,
            host::esriFieldTypeDouble,  host::esriFieldTypeSmallInteger,
            host::esriFieldTypeSingle,  host::esriFieldTypeBigInteger};
}

LayerFilter ListedFeatureLayers() {
    return {.layerKinds = {std::string(kKindFeatureLayer)},
            .featureTypes = ListedFeatureTypes(),
            .shapeTypes = std::nullopt};
}

void FillLayerList(const std::shared_ptr<host::IMap>& map, ui::ComboBox& list,
                   const LayerFilter& filter, const ListChoices& choices) {
    const std::optional<NameList>& excludeNames = choices.excludeNames;
    const auto theMap = host::Require<host::IMap>(map, "IMap");
    const std::int32_t layerCount = theMap->LayerCount();
    list.Clear();
    for (std::int32_t i = 0; i < layerCount; ++i) {
        const std::shared_ptr<host::ILayer> layer = theMap->Layer(i);
        for (const std::string& kind : filter.layerKinds) {
            if (kind == kKindFeatureLayer) {
                if (const auto featureLayer = host::As<host::IFeatureLayer>(layer)) {
                    OfferFeatureLayer(*featureLayer, list, filter.featureTypes, filter.shapeTypes,
                                      excludeNames);
                }
            } else if (kind == kKindRasterLayer) {
                if (const auto rasterLayer = host::As<host::IRasterLayer>(layer)) {
                    if (rasterLayer->Raster()) Offer(list, rasterLayer->Name(), excludeNames);
                }
            }
        }
    }
    for (const std::string& kind : filter.layerKinds) {
        if (kind != kKindTable) continue;
        const auto tables =
            host::Require<host::IStandaloneTableCollection>(map, "IStandaloneTableCollection");
        const std::int32_t tableCount = tables->StandaloneTableCount();
        for (std::int32_t j = 0; j < tableCount; ++j) {
            const std::shared_ptr<host::IStandaloneTable> table = tables->StandaloneTable(j);
            if (table && table->Table()) Offer(list, table->Name(), excludeNames);
        }
    }
    FinishList(list, choices);
}

void FillFieldList(const std::shared_ptr<host::IFields>& fields, ui::ComboBox& list,
                   const TypeList& fieldTypes, const ListChoices& choices) {
    const auto theFields = host::Require<host::IFields>(fields, "IFields");
    list.Clear();
    const std::int32_t fieldCount = theFields->FieldCount();
    for (std::int32_t d = 0; d < fieldCount; ++d) {
        const std::shared_ptr<host::IField> field = theFields->Field(d);
        for (const std::int32_t fieldType : fieldTypes) {
            if (field->Type() == fieldType) Offer(list, field->Name(), choices.excludeNames);
        }
    }
    FinishList(list, choices);
}

std::shared_ptr<host::IMap> FocusMapOf(const std::shared_ptr<host::IApplication>& application) {
    const auto app = host::Require<host::IApplication>(application, "IApplication");
    return host::Require<host::IMxDocument>(app->Document(), "IMxDocument")->FocusMap();
}

bool LayerHasField(const std::string& layerName, const std::string& fieldName,
                   const std::shared_ptr<host::IMap>& map) {
    const std::shared_ptr<host::IFeatureLayer> layer = FindFeatureLayer(layerName, map);
    if (!layer) return false;
    const std::shared_ptr<host::IFeatureClass> featureClass = layer->FeatureClass();
    if (!featureClass) return false;
    return host::Require<host::IFields>(featureClass->Fields(), "IFields")->FindField(fieldName) !=
           -1;
}

std::shared_ptr<host::IFeatureLayer> FindFeatureLayer(const std::string& layerName,
                                                      const std::shared_ptr<host::IMap>& map) {
    if (!map) return {};
    const std::int32_t layerCount = map->LayerCount();
    for (std::int32_t i = 0; i < layerCount; ++i) {
        auto featureLayer = host::As<host::IFeatureLayer>(map->Layer(i));
        if (featureLayer && featureLayer->Name() == layerName) return featureLayer;
    }
    return {};
}

std::string SameNameMessage(const std::string& layerName, const std::shared_ptr<host::IMap>& map) {
    if (!map) return {};
    int named = 0;
    const std::int32_t layerCount = map->LayerCount();
    for (std::int32_t i = 0; i < layerCount; ++i) {
        const auto featureLayer = host::As<host::IFeatureLayer>(map->Layer(i));
        if (featureLayer && featureLayer->Name() == layerName) ++named;
    }
    if (named < 2) return {};
    return "The map has " + std::to_string(named) + " layers named " + layerName +
           ": rename them so that each has a name of its own, then try again";
}

void Preselect(ui::ComboBox& list, const std::optional<NameList>& preferences) {
    const int entryCount = list.ListCount();
    if (entryCount == 0) return;
    int chosen = 0;
    if (preferences) {
        std::vector<std::string> wanted;
        wanted.reserve(preferences->size());
        for (const std::string& preference : *preferences) {
            wanted.push_back(UpperCaseAscii(preference));
        }
        // Only preferences before `limit` can still win: an entry that matches a
        // later preference never displaces an earlier-preference match, while an
        // entry matching the same preference again does.
        std::size_t limit = wanted.size();
        for (int n = 0; n < entryCount; ++n) {
            const std::string entry = UpperCaseAscii(list.List(n));
            for (std::size_t p = 0; p < limit; ++p) {
                if (entry == wanted[p]) {
                    chosen = n;
                    limit = p + 1;
                    break;
                }
            }
        }
    }
    list.SetListIndex(chosen);
}

std::string UpperCaseAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

}  // namespace velorin::forms
