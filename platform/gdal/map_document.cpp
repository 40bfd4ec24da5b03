#include "platform/gdal/map_document.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include "host/codes.h"
#include "host/error.h"
#include "platform/gdal/file_replace.h"
#include "platform/gdal/ogr_reader.h"
#include "platform/gdal/renderer_json.h"
#include "platform/memory/application.h"
#include "platform/memory/document.h"
#include "platform/memory/layers.h"
#include "platform/memory/map.h"
#include "platform/memory/null_canvas.h"
#include "platform/memory/store_matches.h"
#include "platform/memory/view.h"
#include "platform/objects/renderers.h"
#include "platform/objects/status_bar.h"

namespace velorin::gdal {

namespace {

using objects::HostContext;

// The format's name and the newest version this program reads and writes.
constexpr const char* FormatKey = "velorinMapDocument";
constexpr std::int32_t FormatVersion = 1;
constexpr int MaxGroupDepth = 64;

std::filesystem::path AbsoluteNormal(const std::filesystem::path& path) {
    return std::filesystem::absolute(path).lexically_normal();
}

// How messages name a file: as the caller wrote it.
std::string DisplayName(const std::filesystem::path& path) { return path.generic_string(); }

// The pieces of a host, put together once they are all read.
memory::ReferenceHost Assemble(const std::shared_ptr<HostContext>& context, std::string mapName,
                               std::string title, std::vector<std::shared_ptr<host::ILayer>> layers,
                               std::vector<std::shared_ptr<memory::StandaloneTable>> tables,
                               std::unique_ptr<memory::Canvas> canvas,
                               const std::function<void(memory::MapView&)>& placeView) {
    if (!canvas) {
        canvas = std::make_unique<memory::NullCanvas>(memory::MapView::DefaultWidth,
                                                      memory::MapView::DefaultHeight);
    }
    auto map = memory::Map::Create(context, std::move(mapName), std::move(canvas));
    for (auto& layer : layers) map->AddLayer(std::move(layer));
    for (auto& table : tables) map->AddStandaloneTable(std::move(table));
    placeView(map->View());
    map->View().Refresh();
    // Loading is not the extension's doing: start with an empty record.
    context->record.Clear();
    auto document = std::make_shared<memory::MxDocument>(context, std::move(title), std::move(map));
    auto application = std::make_shared<memory::Application>(
        context, std::move(document), std::make_shared<objects::StatusBar>(context));
    return memory::ReferenceHost(context, std::move(application));
}

// Brings a layer just read into the map's system; the first layer that declares a
// system gives the map its own when it has none yet. A layer that declares none is
// taken to be in the map's.
void IntoMapSystem(LayerData& data, const DataSource& source, const std::string& display,
                   CoordinateSystem& map, std::vector<std::string>& warnings) {
    if (!data.featureClass) return;
    const CoordinateSystem own = CoordinateSystem::OfLayer(source.file, source.layer);
    if (own.Empty()) return;
    if (map.Empty()) {
        map = own;
        return;
    }
    if (own.SameAs(map)) return;
    std::size_t lost = 0;
    data.featureClass = Reprojected(*data.featureClass, own, map, lost);
    if (lost > 0) {
        warnings.push_back(display + ": layer \"" + source.layer + "\": " + std::to_string(lost) +
                           (lost == 1 ? " shape lies" : " shapes lie") + " outside " + map.Label() +
                           " and " + (lost == 1 ? "is" : "are") + " not drawn");
    }
}

// Records where the data of one read layer came from.
void AddSource(DataSources& sources, const LayerData& data, const DataSource& origin) {
    if (data.featureClass) sources.Add(data.featureClass, origin);
    if (data.table) sources.Add(data.table, origin);
}

// ---- loading a document ------------------------------------------------------------

class DocumentLoader {
  public:
    // legends: the renderers' values read as the document was parsed.
    DocumentLoader(const std::filesystem::path& file, std::shared_ptr<HostContext> context,
                   LocateDataFile locate, const LegendValuesByPlace& legends)
        : m_faults(DisplayName(file)),
          // A document reached through a symbolic link is the file the link names:
          // its data paths are relative to that file's folder.
          m_folder(AbsoluteNormal(LinkTarget(file)).parent_path()),
          m_context(std::move(context)),
          m_locate(std::move(locate)),
          m_legends(legends) {}

    const DocumentFaults& Faults() const { return m_faults; }
    DataSources& Sources() { return m_sources; }
    // The map's system: set before the layers are read to the document's, else
    // taken from the first layer that declares one.
    CoordinateSystem& System() { return m_system; }
    std::vector<std::string>& Warnings() { return m_warnings; }

    std::vector<std::shared_ptr<host::ILayer>> ReadLayers(const Json& list,
                                                          const std::string& place, int depth = 0) {
        m_faults.Array(list, place);
        // Groups are read recursively: a bound keeps a hostile document from
        // exhausting the stack.
        if (depth > MaxGroupDepth) {
            m_faults.Fail(place,
                          "groups nest deeper than " + std::to_string(MaxGroupDepth) + " levels");
        }
        std::vector<std::shared_ptr<host::ILayer>> layers;
        for (std::size_t i = 0; i < list.size(); ++i) {
            layers.push_back(ReadLayer(list[i], PlaceOf(place, i), depth));
        }
        return layers;
    }

    std::vector<std::shared_ptr<memory::StandaloneTable>> ReadTables(const Json& list,
                                                                     const std::string& place) {
        m_faults.Array(list, place);
        std::vector<std::shared_ptr<memory::StandaloneTable>> tables;
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string tablePlace = PlaceOf(place, i);
            const Json& entry =
                m_faults.Object(list[i], tablePlace, {"name", "source", "selection"});
            const std::string name = m_faults.Text(m_faults.Member(entry, tablePlace, "name"),
                                                   PlaceOf(tablePlace, "name"));
            auto data = Read(m_faults.Member(entry, tablePlace, "source"),
                             PlaceOf(tablePlace, "source"), LayerRole::Table);
            auto table = std::make_shared<memory::StandaloneTable>(m_context, name, data.table);
            if (const Json* selection = DocumentFaults::Find(entry, "selection")) {
                const std::string selectionPlace = PlaceOf(tablePlace, "selection");
                auto oids = ReadOids(*selection, selectionPlace);
                m_faults.At(selectionPlace, [&] { table->Select(oids); });
            }
            tables.push_back(std::move(table));
        }
        return tables;
    }

  private:
    std::shared_ptr<host::ILayer> ReadLayer(const Json& entry, const std::string& place,
                                            int depth) {
        if (!entry.is_object()) m_faults.Fail(place, "expected a layer object");
        const std::string kindPlace = PlaceOf(place, "kind");
        const std::string kind = m_faults.Text(m_faults.Member(entry, place, "kind"), kindPlace);
        if (kind == "group") return ReadGroup(entry, place, depth);
        if (kind != "feature") {
            m_faults.Fail(kindPlace, "unknown layer kind \"" + kind + "\" (one of feature, group)");
        }
        m_faults.Object(entry, place,
                        {"kind", "name", "source", "visible", "definitionQuery", "displayField",
                         "renderer", "rendererPropertyPage", "selection"});
        const std::string name =
            m_faults.Text(m_faults.Member(entry, place, "name"), PlaceOf(place, "name"));
        const Json& source = m_faults.Member(entry, place, "source");
        std::optional<UnavailableLayer> missing;
        if (m_locate) missing = Missing(source, PlaceOf(place, "source"));
        LayerData data;
        if (!missing) data = Read(source, PlaceOf(place, "source"), LayerRole::FeatureClass);

        std::shared_ptr<host::IFeatureRenderer> renderer;
        if (const Json* value = DocumentFaults::Find(entry, "renderer")) {
            const std::string rendererPlace = PlaceOf(place, "renderer");
            renderer = ReadRenderer(m_faults, *value, rendererPlace, m_context, &m_legends);
            // Fields are checked when the data is there to check them against.
            const auto keys = missing ? std::vector<std::string>{} : RendererFields(renderer);
            for (std::size_t i = 0; i < keys.size(); ++i) {
                const auto& fields = *data.featureClass->Store()->FieldSet();
                if (fields.Find(keys[i]) < 0) {
                    m_faults.Fail(PlaceOf(PlaceOf(PlaceOf(rendererPlace, "fields"), i), "name"),
                                  "layer \"" + name + "\" has no field \"" + keys[i] + "\"");
                }
            }
        }
        auto layer = std::make_shared<memory::FeatureLayer>(m_context, name, data.featureClass,
                                                            renderer, m_featureLayers++);
        if (renderer && host::Supports<host::IUniqueValueRenderer>(renderer)) {
            layer->SetRendererPropertyPageClassID(
                std::string(objects::UniqueValuePropertyPageClassID));
        }
        ReadLayerState(entry, place, *layer, missing);
        if (missing) m_sources.AddUnavailable(layer, std::move(*missing));
        return layer;
    }

    std::shared_ptr<host::ILayer> ReadGroup(const Json& entry, const std::string& place,
                                            int depth) {
        m_faults.Object(entry, place, {"kind", "name", "visible", "layers"});
        auto group = std::make_shared<memory::GroupLayer>(
            m_context,
            m_faults.Text(m_faults.Member(entry, place, "name"), PlaceOf(place, "name")));
        if (const Json* visible = DocumentFaults::Find(entry, "visible")) {
            group->SetVisible(m_faults.Flag(*visible, PlaceOf(place, "visible")));
        }
        if (const Json* members = DocumentFaults::Find(entry, "layers")) {
            for (auto& layer : ReadLayers(*members, PlaceOf(place, "layers"), depth + 1)) {
                group->Add(std::move(layer));
            }
        }
        return group;
    }

    // What a document says of a feature layer beyond its data and renderer; kept
    // aside for a layer whose data is missing, to apply once it is repaired.
    void ReadLayerState(const Json& entry, const std::string& place, memory::FeatureLayer& layer,
                        std::optional<UnavailableLayer>& missing) {
        if (const Json* page = DocumentFaults::Find(entry, "rendererPropertyPage")) {
            layer.SetRendererPropertyPageClassID(
                m_faults.Text(*page, PlaceOf(place, "rendererPropertyPage")));
        }
        if (const Json* visible = DocumentFaults::Find(entry, "visible")) {
            layer.SetVisible(m_faults.Flag(*visible, PlaceOf(place, "visible")));
        }
        if (const Json* query = DocumentFaults::Find(entry, "definitionQuery")) {
            const std::string queryPlace = PlaceOf(place, "definitionQuery");
            const std::string text = m_faults.Text(*query, queryPlace);
            if (missing) {
                missing->definitionQuery = text;
            } else {
                m_faults.At(queryPlace, [&] { layer.SetDefinitionExpression(text); });
            }
        }
        if (const Json* display = DocumentFaults::Find(entry, "displayField")) {
            const std::string displayPlace = PlaceOf(place, "displayField");
            const std::string text = m_faults.Text(*display, displayPlace);
            if (missing) {
                missing->displayField = text;
            } else {
                m_faults.At(displayPlace, [&] { layer.SetDisplayField(text); });
            }
        }
        if (const Json* selection = DocumentFaults::Find(entry, "selection")) {
            const std::string selectionPlace = PlaceOf(place, "selection");
            auto oids = ReadOids(*selection, selectionPlace);
            if (missing) {
                missing->selection = std::move(oids);
            } else {
                m_faults.At(selectionPlace, [&] { layer.Select(oids); });
            }
        }
    }

    std::vector<std::int32_t> ReadOids(const Json& list, const std::string& place) const {
        m_faults.Array(list, place);
        std::vector<std::int32_t> oids;
        for (std::size_t i = 0; i < list.size(); ++i) {
            oids.push_back(m_faults.Whole(list[i], PlaceOf(place, i), 1,
                                          std::numeric_limits<std::int32_t>::max()));
        }
        return oids;
    }

    // A source as the document writes it, and the file it names once located.
    struct SourceEntry {
        std::string written;
        std::string layerName;
        std::filesystem::path file;
    };
    SourceEntry ReadSource(const Json& source, const std::string& place) {
        m_faults.Object(source, place, {"path", "layer"});
        const std::string pathPlace = PlaceOf(place, "path");
        SourceEntry entry;
        entry.written = m_faults.Text(m_faults.Member(source, place, "path"), pathPlace);
        if (entry.written.empty()) m_faults.Fail(pathPlace, "the path is empty");
        entry.layerName =
            m_faults.Text(m_faults.Member(source, place, "layer"), PlaceOf(place, "layer"));
        entry.file = Located((m_folder / std::filesystem::path(entry.written)).lexically_normal());
        return entry;
    }

    DataSetReader& ReaderOf(const SourceEntry& entry, const std::string& place) {
        auto& reader = m_readers[entry.file.string()];
        if (!reader) {
            m_faults.At(PlaceOf(place, "path"), [&] {
                reader = std::make_unique<DataSetReader>(entry.file, entry.written);
            });
        }
        return *reader;
    }

    // Why the source's data is not there (its file missing, or its data set
    // without the layer); empty when it is. A file that is there but cannot be
    // read fails the load, as it is not a file that moved.
    std::optional<UnavailableLayer> Missing(const Json& source, const std::string& place) {
        const SourceEntry entry = ReadSource(source, place);
        const DataSource origin{entry.file, entry.layerName};
        std::error_code error;
        if (!std::filesystem::exists(entry.file, error)) {
            return UnavailableLayer{origin, entry.written + ": no such file", {}, {}, {}};
        }
        if (!ReaderOf(entry, place).HasLayer(entry.layerName)) {
            return UnavailableLayer{
                origin,
                "the data set \"" + entry.written + "\" has no layer \"" + entry.layerName + "\"",
                {},
                {},
                {}};
        }
        return std::nullopt;
    }

    // The data behind a source; each data set is opened once and each of its
    // layers read once per role, so layers naming the same source share its data.
    LayerData Read(const Json& source, const std::string& place, LayerRole role) {
        const SourceEntry entry = ReadSource(source, place);
        const std::string& written = entry.written;
        const std::string& layerName = entry.layerName;
        const std::string layerPlace = PlaceOf(place, "layer");
        const std::filesystem::path& file = entry.file;
        DataSetReader* reader = &ReaderOf(entry, place);
        if (!reader->HasLayer(layerName)) {
            m_faults.Fail(layerPlace,
                          "the data set \"" + written + "\" has no layer \"" + layerName + "\"");
        }
        const auto key = std::make_tuple(file.string(), layerName, role);
        auto found = m_data.find(key);
        if (found == m_data.end()) {
            LayerData data;
            m_faults.At(place, [&] {
                data = reader->Read(layerName, role, m_context);
                IntoMapSystem(data, DataSource{file, layerName}, written, m_system, m_warnings);
            });
            AddSource(m_sources, data, DataSource{file, layerName});
            found = m_data.emplace(key, std::move(data)).first;
        }
        return found->second;
    }

    // The file itself, or the one the person named in place of a missing one, or
    // the file of its name in a folder where the person located another.
    std::filesystem::path Located(const std::filesystem::path& file) {
        std::error_code error;
        if (!m_locate || std::filesystem::exists(file, error)) return file;
        auto [found, added] = m_located.try_emplace(file.string());
        if (!added) return found->second;
        for (const std::filesystem::path& folder : m_locatedFolders) {
            const std::filesystem::path beside = folder / file.filename();
            if (std::filesystem::is_regular_file(beside, error)) {
                found->second = beside;
                return beside;
            }
        }
        const std::filesystem::path named = m_locate(file);
        found->second = named.empty() ? file : AbsoluteNormal(named);
        if (!named.empty()) m_locatedFolders.push_back(found->second.parent_path());
        return found->second;
    }

    DocumentFaults m_faults;
    std::filesystem::path m_folder;
    std::shared_ptr<HostContext> m_context;
    LocateDataFile m_locate;
    const LegendValuesByPlace& m_legends;
    std::map<std::string, std::filesystem::path> m_located;
    std::vector<std::filesystem::path> m_locatedFolders;
    DataSources m_sources;
    CoordinateSystem m_system;
    std::vector<std::string> m_warnings;
    std::map<std::string, std::unique_ptr<DataSetReader>> m_readers;
    std::map<std::tuple<std::string, std::string, LayerRole>, LayerData> m_data;
    std::int32_t m_featureLayers = 0;
};

std::string ReadWholeFile(const std::filesystem::path& file, const std::string& display) {
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (!std::filesystem::exists(status)) {
        throw Error(host::E_HOST_FAIL, display + ": no such file");
    }
    if (std::filesystem::is_directory(status)) {
        throw Error(host::E_HOST_FAIL, display + ": is a folder, not a map document");
    }
    // A pipe or a device could block the read for ever.
    if (!std::filesystem::is_regular_file(status)) {
        throw Error(host::E_HOST_FAIL, display + ": is not a regular file");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) throw Error(host::E_HOST_FAIL, display + ": cannot be read");
    // In one read of the size it has, not byte by byte into a growing string; what a
    // writer adds meanwhile is read after it.
    const auto size = std::filesystem::file_size(file, error);
    std::string text(error ? 0 : static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) throw Error(host::E_HOST_FAIL, display + ": cannot be read");
    return text;
}

// The most members an object of a map document may have: more than any has.
constexpr std::size_t MaxMembers = 64;

// Builds a document's JSON event by event, as the library's own parser does, but
// knowing where it is: a parse that fails is reported at its place ("map.extent.xMin:
// number out of range", which the library's message cannot say), and an object of
// more members than a map document's objects have is refused as it comes, before the
// member lookups (one by one, in the order written) cost quadratic time.
//
// A layer's legend may hold a value for every feature of a large layer: the entries
// of a renderer's "values" are read into its renderer one by one as they end
// (ReadLegendValue), never held as JSON, and "values" is left an empty array.
class DocumentParser final : public nlohmann::json_sax<Json> {
  public:
    DocumentParser(const std::string& display, std::shared_ptr<HostContext> context,
                   LegendValuesByPlace& legends)
        : m_faults(display), m_context(std::move(context)), m_legends(legends) {}

    // The document's JSON; raises the error a failed parse is.
    Json Parse(const std::string& text) {
        if (Json::sax_parse(text, this)) return std::move(m_root);
        const std::string& display = m_faults.Document();
        const std::string place = Place();
        const std::string at = place.empty() ? "" : place + ": ";
        if (m_crowded) {
            throw Error(host::E_HOST_FAIL, display + ": " + at + "an object has more than " +
                                               std::to_string(MaxMembers) + " members");
        }
        if (m_outOfRange) {
            throw Error(host::E_HOST_FAIL, display + ": " + at + "number out of range");
        }
        throw Error(host::E_HOST_FAIL, display + ": malformed JSON: " + m_failure);
    }

    bool null() override {
        if (InEntry()) return Record([&] { m_entry.Add(LegendEntry::Kind::Null); });
        return Put(nullptr);
    }
    bool boolean(bool value) override {
        if (InEntry()) return Record([&] { m_entry.AddBool(value); });
        return Put(value);
    }
    bool number_integer(Json::number_integer_t value) override {
        if (InEntry()) return Record([&] { m_entry.AddInteger(value); });
        return Put(value);
    }
    bool number_unsigned(Json::number_unsigned_t value) override {
        if (InEntry()) return Record([&] { m_entry.AddUnsigned(value); });
        return Put(value);
    }
    bool number_float(Json::number_float_t value, const Json::string_t& /*text*/) override {
        if (InEntry()) return Record([&] { m_entry.AddFloat(value); });
        return Put(value);
    }
    bool string(Json::string_t& value) override {
        if (InEntry()) return Record([&] { m_entry.AddText(LegendEntry::Kind::String, value); });
        return Put(std::move(value));
    }
    // JSON text holds no binary values; only other formats do.
    bool binary(Json::binary_t& /*value*/) override { return null(); }
    bool start_object(std::size_t /*size*/) override {
        if (InEntry()) {
            BeginInEntry();
            m_entry.Add(LegendEntry::Kind::StartObject);
            m_levels.push_back(Level{.object = true});
            return true;
        }
        const Role role = RoleOf(true);
        Json* object = Slot();
        *object = Json::object();
        m_levels.push_back(Level{.value = object, .object = true, .role = role});
        return true;
    }
    bool key(Json::string_t& name) override {
        Level& level = m_levels.back();
        if (++level.count > MaxMembers) {
            m_crowded = true;
            return false;
        }
        if (InEntry()) {
            level.key = name;
            m_entry.AddText(LegendEntry::Kind::Key, name);
            return true;
        }
        level.member = &(*level.value)[name];
        level.key = std::move(name);
        // A member written twice is the second: so are a renderer and its values.
        if (level.role == Role::Layer && level.key == "renderer") {
            m_legends.erase(Path(true));
        } else if (level.role == Role::Renderer && level.key == "values") {
            m_legends.erase(Path(false));
        }
        return true;
    }
    bool end_object() override { return End(LegendEntry::Kind::EndObject); }
    bool start_array(std::size_t /*size*/) override {
        if (InEntry()) {
            BeginInEntry();
            m_entry.Add(LegendEntry::Kind::StartArray);
            m_levels.push_back(Level{});
            return true;
        }
        const Role role = RoleOf(false);
        Json* array = Slot();
        *array = Json::array();
        Level level{.value = array, .role = role};
        if (role == Role::Legend) {
            level.legend = &(m_legends[Path(false)] = LegendValues{
                                 std::make_shared<objects::UniqueValueRenderer>(m_context)});
            level.legendPlace = Path(true);
        }
        m_levels.push_back(std::move(level));
        if (role == Role::Legend) m_legendDepth = m_levels.size();
        return true;
    }
    bool end_array() override { return End(LegendEntry::Kind::EndArray); }
    bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                     const Json::exception& error) override {
        // Everything but a parse error proper is a number beyond the range of a
        // double (1e400).
        m_outOfRange = dynamic_cast<const Json::parse_error*>(&error) == nullptr;
        // The library's message begins with its own tag ("[json.exception...] ").
        m_failure = error.what();
        if (const auto end = m_failure.find("] "); end != std::string::npos) {
            m_failure.erase(0, end + 2);
        }
        return false;
    }

  private:
    // Where a container stands in a map document, as far as finding legends needs.
    enum class Role : std::uint8_t { Other, Root, Layers, Layer, Renderer, Legend };

    struct Level {
        Json* value = nullptr;  // the object or array being read
        bool object = false;
        Role role = Role::Other;
        std::size_t count = 0;           // members or elements begun
        std::string key{};               // the member being read (objects)
        Json* member = nullptr;          // its value (objects)
        LegendValues* legend = nullptr;  // where the entries go (legends)
        std::string legendPlace{};       // "layers[0].renderer.values" (legends)
    };

    // The role of a container about to begin.
    Role RoleOf(bool object) const {
        if (m_levels.empty()) return object ? Role::Root : Role::Other;
        const Level& parent = m_levels.back();
        switch (parent.role) {
            case Role::Root:
                return !object && parent.key == "layers" ? Role::Layers : Role::Other;
            case Role::Layers:
                return object ? Role::Layer : Role::Other;
            case Role::Layer:
                if (!object && parent.key == "layers") return Role::Layers;
                return object && parent.key == "renderer" ? Role::Renderer : Role::Other;
            case Role::Renderer:
                return !object && parent.key == "values" ? Role::Legend : Role::Other;
            default:
                return Role::Other;
        }
    }

    // Whether the next value is part of a legend's entry: the legend is the
    // innermost container, or holds it.
    bool InEntry() const { return m_legendDepth != 0 && m_levels.size() >= m_legendDepth; }

    // Counts a value of a legend's entry about to begin, and starts the entry when
    // it is one.
    void BeginInEntry() {
        Level& level = m_levels.back();
        if (level.object) return;
        ++level.count;
        if (level.role == Role::Legend) m_entry.Clear();
    }

    // A plain value of a legend's entry; the whole entry when it is one.
    template <class Add>
    bool Record(Add&& add) {
        BeginInEntry();
        std::forward<Add>(add)();
        if (m_levels.back().role == Role::Legend) EndEntry();
        return true;
    }

    // Where the next value goes. The pointers on the stack stay valid: a container
    // gets no other member or element while one of its values is being read.
    Json* Slot() {
        if (m_levels.empty()) return &m_root;
        Level& level = m_levels.back();
        if (level.object) return level.member;
        ++level.count;
        level.value->push_back(nullptr);
        return &level.value->back();
    }

    template <class Value>
    bool Put(Value&& value) {
        *Slot() = Json(std::forward<Value>(value));
        return true;
    }

    bool End(LegendEntry::Kind kind) {
        if (m_legendDepth != 0 && m_levels.size() == m_legendDepth) {
            // The legend itself ends.
            m_legendDepth = 0;
            m_levels.pop_back();
            return true;
        }
        const bool inEntry = InEntry();
        m_levels.pop_back();
        if (inEntry) {
            m_entry.Add(kind);
            if (m_levels.back().role == Role::Legend) EndEntry();
        }
        return true;
    }

    // A legend's entry has ended: into its renderer with it.
    void EndEntry() {
        const Level& level = m_levels.back();
        ReadLegendEntry(m_faults, m_entry, level.legendPlace, *level.legend, m_context);
    }

    // The place of the innermost container: "layers[0].renderer", with the member
    // being read when withKey ("layers[0].renderer.values").
    std::string Path(bool withKey) const {
        std::string place;
        for (std::size_t i = 0; i < m_levels.size(); ++i) {
            const Level& level = m_levels[i];
            if (!level.object) {
                place = PlaceOf(place, level.count - 1);
            } else if (withKey || i + 1 < m_levels.size()) {
                place = PlaceOf(place, level.key);
            }
        }
        return place;
    }

    // Where the parse stopped: "map.extent.xMin", "layers[0].selection[1]"; for an
    // object of too many members, the object.
    std::string Place() const {
        std::string place;
        for (std::size_t i = 0; i < m_levels.size(); ++i) {
            const Level& level = m_levels[i];
            const bool innermost = i + 1 == m_levels.size();
            if (level.object) {
                if (!(innermost && m_crowded)) place = PlaceOf(place, level.key);
            } else {
                // The value the parse stopped at was never begun.
                place = PlaceOf(place, innermost ? level.count : level.count - 1);
            }
        }
        return place;
    }

    DocumentFaults m_faults;
    std::shared_ptr<HostContext> m_context;
    LegendValuesByPlace& m_legends;
    Json m_root;
    LegendEntry m_entry;            // the legend entry being read
    std::size_t m_legendDepth = 0;  // the legend's level counted from 1; 0 outside legends
    std::vector<Level> m_levels;
    bool m_crowded = false;
    bool m_outOfRange = false;
    std::string m_failure;
};

// Reads a JSON text as far as the format's member at its top level, keeping nothing:
// to tell a map document from any other file without reading a large one into
// memory.
class FormatKeyFinder final : public nlohmann::json_sax<Json> {
  public:
    bool null() override { return true; }
    bool boolean(bool /*value*/) override { return true; }
    bool number_integer(Json::number_integer_t /*value*/) override { return true; }
    bool number_unsigned(Json::number_unsigned_t /*value*/) override { return true; }
    bool number_float(Json::number_float_t /*value*/, const Json::string_t& /*text*/) override {
        return true;
    }
    bool string(Json::string_t& /*value*/) override { return true; }
    bool binary(Json::binary_t& /*value*/) override { return true; }
    bool start_object(std::size_t /*size*/) override {
        ++m_depth;
        return true;
    }
    bool key(Json::string_t& name) override {
        // Keys at depth 1 are the members of a top-level object.
        m_found = m_depth == 1 && name == FormatKey;
        return !m_found;
    }
    bool end_object() override {
        --m_depth;
        return true;
    }
    bool start_array(std::size_t /*size*/) override {
        ++m_depth;
        return true;
    }
    bool end_array() override {
        --m_depth;
        return true;
    }
    bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                     const Json::exception& /*error*/) override {
        return false;
    }

    bool Found() const { return m_found; }

  private:
    int m_depth = 0;
    bool m_found = false;
};

// ---- saving a document -------------------------------------------------------------

// "<file>: cannot be saved: <reason>", as ReplaceFile says it.
[[noreturn]] void Unsaved(const std::string& display, const std::string& reason) {
    throw Error(host::E_HOST_FAIL, display + ": cannot be saved: " + reason);
}

// Whether file (regular) holds a map document; reads only as far as the format's
// member, and never more than a parse of the text.
bool IsMapDocument(const std::filesystem::path& file, const std::string& display) {
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) Unsaved(display, "it cannot be read to see whether it is a map document");
    FormatKeyFinder finder;
    Json::sax_parse(in, &finder);
    return finder.Found();
}

// Writes a map's JSON as it goes: a layer's renderer is written value by value, so a
// legend of any size costs no copy. Faults are reported at the place in the
// document, naming the layer.
class DocumentWriter {
  public:
    // written: the file the text goes to, after any symbolic link.
    DocumentWriter(const std::string& display, const std::filesystem::path& file,
                   const std::filesystem::path& written, const DataSources& sources)
        : m_faults(display),
          m_folder(AbsoluteNormal(written).parent_path()),
          m_physical(written != file),
          m_sources(sources) {}

    void Write(const memory::Map& map, const CoordinateSystem& system, JsonWriter& out) const {
        const auto extent = map.View().Extent();
        try {
            out.BeginObject();
            out.Key(FormatKey);
            out.Integer(FormatVersion);
            out.Key("map");
            out.BeginObject();
            out.Key("name");
            out.String(map.Name());
            if (!system.Empty()) {
                out.Key("coordinateSystem");
                out.String(system.Text());
            }
            out.Key("extent");
            out.BeginObject();
            const std::array<std::pair<const char*, double>, 4> corners{{{"xMin", extent->XMin()},
                                                                         {"yMin", extent->YMin()},
                                                                         {"xMax", extent->XMax()},
                                                                         {"yMax", extent->YMax()}}};
            for (const auto& [key, value] : corners) {
                out.Key(key);
                out.Number(value);
            }
            out.EndObject();
            out.EndObject();
            out.Key("layers");
            Layers(map.Layers(), "layers", out);
            out.Key("tables");
            Tables(map.StandaloneTables(), "tables", out);
            out.EndObject();
        } catch (const JsonWriter::InvalidText& text) {
            NotUtf8(text, "");
        }
        out.Finish();
    }

  private:
    void Layers(const std::vector<std::shared_ptr<host::ILayer>>& layers, const std::string& place,
                JsonWriter& out) const {
        out.BeginArray();
        for (std::size_t i = 0; i < layers.size(); ++i) {
            Layer(layers[i], PlaceOf(place, i), out);
        }
        out.EndArray();
    }

    void Tables(const std::vector<std::shared_ptr<memory::StandaloneTable>>& tables,
                const std::string& place, JsonWriter& out) const {
        out.BeginArray();
        for (std::size_t i = 0; i < tables.size(); ++i) {
            const auto& table = *tables[i];
            const std::string tablePlace = PlaceOf(place, i);
            const DataSource* source = table.Data() ? m_sources.Find(*table.Data()) : nullptr;
            if (!source) {
                m_faults.Fail(PlaceOf(tablePlace, "source"),
                              "table \"" + ShownText(table.Name()) +
                                  "\" was not read from a data set, so it cannot be saved");
            }
            try {
                out.BeginObject();
                out.Key("name");
                out.String(table.Name());
                out.Key("source");
                Source(*source, out);
                out.Key("selection");
                Oids(tables[i]->Selection().Oids(), out);
                out.EndObject();
            } catch (const JsonWriter::InvalidText& text) {
                NotUtf8(text, "table \"" + ShownText(table.Name()) + "\": ");
            }
        }
        out.EndArray();
    }

    void Layer(const std::shared_ptr<host::ILayer>& layer, const std::string& place,
               JsonWriter& out) const {
        const std::string name = layer->Name();
        try {
            if (const auto group = std::dynamic_pointer_cast<memory::GroupLayer>(layer)) {
                out.BeginObject();
                out.Key("kind");
                out.String("group");
                out.Key("name");
                out.String(name);
                out.Key("visible");
                out.Bool(group->Visible());
                out.Key("layers");
                Layers(group->Layers(), PlaceOf(place, "layers"), out);
                out.EndObject();
                return;
            }
            const auto feature = std::dynamic_pointer_cast<memory::FeatureLayer>(layer);
            if (!feature) {
                const char* kind = host::Supports<host::IRasterLayer>(layer) ? "a raster layer"
                                                                             : "a layer of a kind";
                m_faults.Fail(place, "layer \"" + ShownText(name) + "\" is " + kind +
                                         " that a map document cannot hold");
            }
            const UnavailableLayer* unavailable =
                feature->Data() ? nullptr : m_sources.Unavailable(*feature);
            const DataSource* source = feature->Data()          ? m_sources.Find(*feature->Data())
                                       : unavailable != nullptr ? &unavailable->source
                                                                : nullptr;
            if (!source) {
                m_faults.Fail(PlaceOf(place, "source"),
                              "layer \"" + ShownText(name) +
                                  "\" was not read from a data set, so it cannot be saved");
            }
            out.BeginObject();
            out.Key("kind");
            out.String("feature");
            out.Key("name");
            out.String(name);
            out.Key("source");
            Source(*source, out);
            out.Key("visible");
            out.Bool(feature->Visible());
            out.Key("definitionQuery");
            out.String(unavailable ? unavailable->definitionQuery
                                   : feature->DefinitionExpression());
            out.Key("displayField");
            out.String(unavailable ? unavailable->displayField : feature->DisplayField());
            out.Key("renderer");
            WriteRenderer(out, m_faults, feature->Renderer(), PlaceOf(place, "renderer"),
                          ShownText(name));
            out.Key("rendererPropertyPage");
            out.String(feature->RendererPropertyPageClassID());
            out.Key("selection");
            Oids(unavailable ? std::set<std::int32_t>(unavailable->selection.begin(),
                                                      unavailable->selection.end())
                             : feature->Selection().Oids(),
                 out);
            out.EndObject();
        } catch (const JsonWriter::InvalidText& text) {
            NotUtf8(text, "layer \"" + ShownText(name) + "\": ");
        }
    }

    void Source(const DataSource& source, JsonWriter& out) const {
        std::filesystem::path file = source.file;
        if (m_physical) {
            // The folder is the link's target, without symbolic links: so must the
            // data set's path be for the two to meet.
            std::error_code error;
            auto real = std::filesystem::weakly_canonical(file, error);
            if (!error) file = std::move(real);
        }
        std::filesystem::path path = file.lexically_relative(m_folder);
        if (path.empty()) path = file;
        out.BeginObject();
        out.Key("path");
        out.String(path.generic_string());
        out.Key("layer");
        out.String(source.layer);
        out.EndObject();
    }

    static void Oids(const std::set<std::int32_t>& oids, JsonWriter& out) {
        out.BeginArray();
        for (const std::int32_t oid : oids) out.Integer(oid);
        out.EndArray();
    }

    // Text from data sets in another encoding is refused rather than saved in a form
    // that would no longer match the data when read back.
    [[noreturn]] void NotUtf8(const JsonWriter::InvalidText& text, const std::string& owner) const {
        m_faults.Fail(text.place, owner + "the text \"" + text.shown + "\" is not valid UTF-8");
    }

    DocumentFaults m_faults;
    std::filesystem::path m_folder;
    bool m_physical;
    const DataSources& m_sources;
};

}  // namespace

// ---- DataSources -------------------------------------------------------------------

void DataSources::Add(std::shared_ptr<const memory::FeatureClass> featureClass, DataSource source) {
    m_entries.push_back(Entry{std::move(featureClass), std::move(source)});
}

void DataSources::Add(std::shared_ptr<const memory::Table> table, DataSource source) {
    m_entries.push_back(Entry{std::move(table), std::move(source)});
}

const DataSource* DataSources::Find(const memory::FeatureClass& featureClass) const {
    return FindAddress(&featureClass);
}

const DataSource* DataSources::Find(const memory::Table& table) const {
    return FindAddress(&table);
}

const DataSource* DataSources::Reading(const std::filesystem::path& file) const {
    for (const auto& entry : m_entries) {
        std::error_code error;
        if (std::filesystem::equivalent(entry.source.file, file, error) && !error) {
            return &entry.source;
        }
    }
    return nullptr;
}

void DataSources::AddUnavailable(std::shared_ptr<const host::ILayer> layer, UnavailableLayer what) {
    m_unavailable.emplace_back(std::move(layer), std::move(what));
}

const UnavailableLayer* DataSources::Unavailable(const host::ILayer& layer) const {
    for (const auto& [shown, what] : m_unavailable) {
        if (shown.get() == &layer) return &what;
    }
    return nullptr;
}

void DataSources::ForgetUnavailable(const host::ILayer& layer) {
    std::erase_if(m_unavailable, [&](const auto& entry) { return entry.first.get() == &layer; });
}

const DataSource* DataSources::FindAddress(const void* data) const {
    for (const auto& entry : m_entries) {
        if (entry.data.get() == data) return &entry.source;
    }
    return nullptr;
}

// ---- the public routines -----------------------------------------------------------

MapDocument LoadDataSet(const std::filesystem::path& file, std::unique_ptr<memory::Canvas> canvas,
                        const CoordinateSystem& mapSystem) {
    auto context = std::make_shared<HostContext>();
    memory::MatchStoredRows(*context);
    const DataSetReader reader(AbsoluteNormal(file), DisplayName(file));
    DataSources sources;
    CoordinateSystem system = mapSystem;
    std::vector<std::string> warnings;

    struct Read {
        std::string name;
        LayerData data;
    };
    std::vector<Read> read;
    for (const auto& name : reader.LayerNames()) {
        read.push_back(Read{name, reader.Read(name, LayerRole::Auto, context)});
        IntoMapSystem(read.back().data, DataSource{reader.File(), name}, reader.Display(), system,
                      warnings);
        AddSource(sources, read.back().data, DataSource{reader.File(), name});
    }

    // Points over lines over polygons, so that nothing hides smaller features.
    const auto rank = [](const Read& entry) {
        switch (entry.data.featureClass->ShapeType()) {
            case host::esriGeometryPoint:
            case host::esriGeometryMultipoint:
                return 0;
            case host::esriGeometryPolyline:
                return 1;
            default:
                return 2;
        }
    };
    std::vector<const Read*> features;
    std::vector<std::shared_ptr<memory::StandaloneTable>> tables;
    for (const auto& entry : read) {
        if (entry.data.featureClass) {
            features.push_back(&entry);
        } else {
            tables.push_back(
                std::make_shared<memory::StandaloneTable>(context, entry.name, entry.data.table));
        }
    }
    if (features.empty()) {
        // Layers without shapes would open as an empty map: say why instead.
        std::string why;
        for (const auto& entry : read) {
            why += (why.empty() ? "" : "; ") + ("layer \"" + entry.name + "\" ") +
                   (entry.data.table->Store()->Size() == 0
                        ? "holds no features"
                        : "has no geometries to show (every one is null or empty)");
        }
        throw Error(host::E_HOST_FAIL,
                    reader.Display() + ": holds nothing the map can show: " + why);
    }
    std::stable_sort(features.begin(), features.end(),
                     [&](const Read* a, const Read* b) { return rank(*a) < rank(*b); });
    std::vector<std::shared_ptr<host::ILayer>> layers;
    for (const Read* entry : features) {
        layers.push_back(std::make_shared<memory::FeatureLayer>(
            context, entry->name, entry->data.featureClass, nullptr,
            static_cast<std::int32_t>(layers.size())));
    }

    auto host =
        Assemble(context, "Layers", file.filename().string(), std::move(layers), std::move(tables),
                 std::move(canvas), [](memory::MapView& view) { view.ZoomToFullExtent(); });
    return MapDocument{
        std::move(host), {}, std::move(sources), std::move(system), std::move(warnings)};
}

MapDocument LoadMapDocument(const std::filesystem::path& file,
                            std::unique_ptr<memory::Canvas> canvas, const LocateDataFile& locate) {
    const std::string display = DisplayName(file);
    auto context = std::make_shared<HostContext>();
    memory::MatchStoredRows(*context);
    LegendValuesByPlace legends;
    // The text goes as soon as it is parsed: a large legend makes it large.
    const Json root = DocumentParser(display, context, legends).Parse(ReadWholeFile(file, display));

    DocumentLoader loader(file, context, locate, legends);
    const DocumentFaults& faults = loader.Faults();
    faults.Object(root, "", {FormatKey, "map", "layers", "tables"});
    const Json* version = DocumentFaults::Find(root, FormatKey);
    if (!version) {
        faults.Fail("", std::string("not a map document (it has no \"") + FormatKey + "\" member)");
    }
    const std::int32_t number = faults.Whole(*version, FormatKey, 1, 1000000);
    if (number > FormatVersion) {
        faults.Fail(FormatKey, "version " + std::to_string(number) +
                                   " is newer than this program reads (" +
                                   std::to_string(FormatVersion) + ")");
    }

    std::string mapName = "Layers";
    std::optional<std::array<double, 4>> extent;
    if (const Json* map = DocumentFaults::Find(root, "map")) {
        faults.Object(*map, "map", {"name", "extent", "coordinateSystem"});
        if (const Json* system = DocumentFaults::Find(*map, "coordinateSystem")) {
            const std::string text = faults.Text(*system, "map.coordinateSystem");
            faults.At("map.coordinateSystem",
                      [&] { loader.System() = CoordinateSystem::FromText(text); });
        }
        if (const Json* name = DocumentFaults::Find(*map, "name")) {
            mapName = faults.Text(*name, "map.name");
        }
        if (const Json* box = DocumentFaults::Find(*map, "extent")) {
            faults.Object(*box, "map.extent", {"xMin", "yMin", "xMax", "yMax"});
            std::array<double, 4> corners{};
            const std::array<const char*, 4> keys{"xMin", "yMin", "xMax", "yMax"};
            for (std::size_t i = 0; i < keys.size(); ++i) {
                corners[i] = faults.Number(faults.Member(*box, "map.extent", keys[i]),
                                           PlaceOf("map.extent", keys[i]));
            }
            extent = corners;
        }
    }
    auto layers = loader.ReadLayers(faults.Member(root, "", "layers"), "layers");
    std::vector<std::shared_ptr<memory::StandaloneTable>> tables;
    if (const Json* list = DocumentFaults::Find(root, "tables")) {
        tables = loader.ReadTables(*list, "tables");
    }

    auto host =
        Assemble(context, std::move(mapName), file.filename().string(), std::move(layers),
                 std::move(tables), std::move(canvas), [&](memory::MapView& view) {
                     if (!extent) {
                         view.ZoomToFullExtent();
                         return;
                     }
                     faults.At("map.extent", [&] {
                         view.SetExtent(objects::MakeEnvelope((*extent)[0], (*extent)[1],
                                                              (*extent)[2], (*extent)[3], context));
                     });
                 });
    return MapDocument{std::move(host), file, std::move(loader.Sources()),
                       std::move(loader.System()), std::move(loader.Warnings())};
}

void CheckSaveTarget(const MapDocument& document, const std::filesystem::path& file) {
    const std::string display = DisplayName(file);
    const std::filesystem::path target = LinkTarget(file);
    if (target.filename().empty()) Unsaved(display, "the path names no file");
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code error;
    const auto folderStatus = std::filesystem::status(folder, error);
    if (!std::filesystem::exists(folderStatus)) {
        Unsaved(display, "the folder " + DisplayName(folder) + " does not exist");
    }
    if (!std::filesystem::is_directory(folderStatus)) {
        Unsaved(display, DisplayName(folder) + " is not a folder");
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        Unsaved(display, "the folder " + DisplayName(folder) +
                             " cannot be written: " + std::strerror(errno));
    }

    const auto status = std::filesystem::status(target, error);
    if (!std::filesystem::exists(status)) return;
    if (const DataSource* source = document.sources.Reading(target)) {
        Unsaved(display, "it is a data set this map reads (its layer \"" + source->layer +
                             "\"); a map document is saved beside its data, never over it");
    }
    if (std::filesystem::is_directory(status)) Unsaved(display, "it is a folder");
    if (!std::filesystem::is_regular_file(status)) Unsaved(display, "it is not a regular file");
    if (!IsMapDocument(target, display)) {
        Unsaved(display, "it is not a map document, and a map document replaces only another");
    }
}

void SaveMapDocument(const MapDocument& document, const std::filesystem::path& file) {
    CheckSaveTarget(document, file);
    const memory::ReferenceHost& host = document.host;
    // Reading the host to save it is not the extension calling.
    objects::FaultInjector::QuietScope quiet(host.Context().faults);
    const std::string display = DisplayName(file);
    const DocumentWriter writer(display, file, LinkTarget(file), document.sources);
    ReplaceFile(file, display, [&](const TextSink& sink) {
        JsonWriter out(sink);
        writer.Write(host.FocusMap(), document.system, out);
    });
}

}  // namespace velorin::gdal
