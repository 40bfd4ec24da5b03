#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/application.h"
#include "host/map.h"
#include "ui/combo_box.h"

// modUtilsForms: the pick lists of the dialogs and the way back from a picked
// name to a layer. A list holds names only; every later use of a chosen entry
// goes back to the map by name.
//
// None of these routines traps an error: a failing host call ends the routine
// at once (the list keeps what was added so far, with no current entry) and the
// error goes to the caller.
namespace velorin::forms {

// The list entry that stands for no layer or no field. Readers compare a chosen
// entry with it exactly (case-sensitive) before treating it as a name.
inline constexpr std::string_view kNoneEntry = "<None>";

// Kind keywords of FillLayerList; any other keyword is ignored.
inline constexpr std::string_view kKindFeatureLayer = "FeatureLayer";
inline constexpr std::string_view kKindRasterLayer = "RasterLayer";
inline constexpr std::string_view kKindTable = "Table";

// The feature types every layer list of the dialogs accepts (simple, simple
// junction, simple edge, complex junction, complex edge), so annotation and
// dimension layers never show up.
std::vector<std::int32_t> ListedFeatureTypes();
// Field types of a Source key-field list, in the order the dialogs pass them;
// the Related list is the same without the object id.
std::vector<std::int32_t> SourceKeyFieldTypes();
std::vector<std::int32_t> RelatedKeyFieldTypes();

using NameList = std::vector<std::string>;
using TypeList = std::vector<std::int32_t>;

// Whether a list offers "<None>", as its first entry, besides the names.
enum class NoneEntry { Omit, First };

// What a list leaves out and which entry it makes current. Absent optionals
// mean: nothing excluded, no preference (the first entry is made current).
struct ListChoices {
    std::optional<NameList> excludeNames = std::nullopt;
    std::optional<NameList> preferences = std::nullopt;  // see Preselect
    NoneEntry noneEntry = NoneEntry::Omit;
};

// Which layers a layer list offers.
struct LayerFilter {
    NameList layerKinds;                 // kKindFeatureLayer, kKindRasterLayer, kKindTable
    TypeList featureTypes;               // of feature layers
    std::optional<TypeList> shapeTypes;  // of simple feature layers; absent: any shape
};

// The feature layers of ListedFeatureTypes, whatever their shape: what every
// layer list of the dialogs offers.
LayerFilter ListedFeatureLayers();

// Fills `list` (its old entries removed) with the names of the map's top-level
// layers of the requested kinds, then, for the keyword "Table", the map's
// standalone tables. A layer is offered once per keyword, feature type and shape
// type it matches, so repeated values in the filter's lists repeat the name.
//
// "Table" needs the map to be a standalone-table collection; otherwise the host's
// "no such interface" error is raised.
void FillLayerList(const std::shared_ptr<host::IMap>& map, ui::ComboBox& list,
                   const LayerFilter& filter, const ListChoices& choices = {});

// Fills `list` with the names (not aliases) of the fields whose type is one of
// `fieldTypes`, in field order; otherwise as FillLayerList. An absent field
// collection raises the host's "object variable not set" error.
void FillFieldList(const std::shared_ptr<host::IFields>& fields, ui::ComboBox& list,
                   const TypeList& fieldTypes, const ListChoices& choices = {});

// The focus map of the application's document, fetched afresh on every call
// (empty when the document has none). An absent application, or a document that
// is not a map document, raises the host's error.
std::shared_ptr<host::IMap> FocusMapOf(const std::shared_ptr<host::IApplication>& application);

// True when `layerName` names a feature layer of the map (as FindFeatureLayer
// finds it) whose feature class has a field called `fieldName`: whether a
// remembered key field still applies.
bool LayerHasField(const std::string& layerName, const std::string& fieldName,
                   const std::shared_ptr<host::IMap>& map);

// The first top-level feature layer whose name equals `layerName` exactly
// (case-sensitive, nothing trimmed), or empty. Layers inside group layers and
// layers of other kinds are passed over. Without a map there is nothing to find:
// empty.
std::shared_ptr<host::IFeatureLayer> FindFeatureLayer(const std::string& layerName,
                                                      const std::shared_ptr<host::IMap>& map);

// The box a tool shows, before it does anything, when more than one feature
// layer of the map is called `layerName`, or "" when one at most is. The lists
// hold names only, so FindFeatureLayer cannot tell which of two layers of one
// name the person picked, and a tool must never work on (or change) a layer the
// person did not pick.
std::string SameNameMessage(const std::string& layerName, const std::shared_ptr<host::IMap>& map);

// Makes current the entry that matches (ignoring letter case) the earliest
// preference; among entries matching that same preference the last one wins.
// With no preferences or no match the first entry becomes current. Setting the
// current entry fires the list's Click, as a pick by the user does. An empty list
// gets no current entry.
void Preselect(ui::ComboBox& list, const std::optional<NameList>& preferences);

// Upper-cases ASCII letters only: other bytes of UTF-8 text stay as they are,
// so a multi-byte character is never split or changed.
std::string UpperCaseAscii(std::string_view text);

}  // namespace velorin::forms
