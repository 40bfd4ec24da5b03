#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/error.h"
#include "host/renderers.h"
#include "host/symbols.h"
#include "platform/gdal/json_writer.h"
#include "platform/objects/host_context.h"
#include "platform/objects/renderers.h"

// The map document's renderers and symbols in JSON, both ways (the format is
// described in docs/map-document.md). Internal to platform/gdal.
namespace velorin::gdal {

// Members keep the order they are written in, so a saved document reads like the
// documentation.
using Json = nlohmann::ordered_json;

// "layers[2]" + "renderer" -> "layers[2].renderer"; an empty place gives the key.
std::string PlaceOf(const std::string& place, std::string_view key);
std::string PlaceOf(const std::string& place, std::size_t index);

// Reports what is wrong where in one document: every failure is a velorin::Error
// (E_HOST_FAIL) "<document>: <place>: <what>". The accessors check a member's
// JSON type and range and raise through Fail otherwise.
class DocumentFaults {
  public:
    explicit DocumentFaults(std::string document) : m_document(std::move(document)) {}

    const std::string& Document() const { return m_document; }
    [[noreturn]] void Fail(const std::string& place, const std::string& what) const;

    // The object at place; raises when it is not one or has a member not in keys.
    const Json& Object(const Json& value, const std::string& place,
                       std::initializer_list<std::string_view> keys) const;
    const Json& Array(const Json& value, const std::string& place) const;
    // A required member of an object.
    const Json& Member(const Json& object, const std::string& place, const char* key) const;
    // An optional member; null when absent.
    static const Json* Find(const Json& object, const char* key);

    std::string Text(const Json& value, const std::string& place) const;
    bool Flag(const Json& value, const std::string& place) const;
    double Number(const Json& value, const std::string& place) const;
    std::int32_t Whole(const Json& value, const std::string& place, std::int64_t lowest,
                       std::int64_t highest) const;

    // Runs a host call made while reading the document; the velorin::Error it
    // raises is reported at place instead.
    template <class Call>
    void At(const std::string& place, Call&& call) const {
        try {
            std::forward<Call>(call)();
        } catch (const Error& error) {
            Fail(place, error.Description());
        }
    }

  private:
    std::string m_document;
};

// A symbol, or null for none. Raises (through faults) naming place for anything
// but a simple marker, line or fill symbol with known styles and an RGB colour.
std::shared_ptr<host::ISymbol> ReadSymbol(const DocumentFaults& faults, const Json& value,
                                          const std::string& place,
                                          const std::shared_ptr<objects::HostContext>& context);

// The values of a unique value renderer read while the document is parsed, entry
// by entry, so that a legend of many values is never held as JSON. What is wrong
// with an entry is kept, and raised only when the renderer is read: a document is
// refused with the same message, and after the same earlier faults, as if it had
// been read whole.
struct LegendValues {
    std::shared_ptr<objects::UniqueValueRenderer> renderer;  // holds the values read
    std::size_t count = 0;                                   // entries read
    std::optional<Error> failure{};                          // the first entry's fault
};
// By the place of the renderer whose "values" they are: "layers[2].renderer".
using LegendValuesByPlace = std::map<std::string, LegendValues>;

// One entry of a legend's "values" as the parser met it, event by event, in
// storage kept from entry to entry: a regular entry is read from it directly, and
// only one out of the ordinary is made into JSON first.
class LegendEntry {
  public:
    enum class Kind : std::uint8_t {
        StartObject,
        EndObject,
        StartArray,
        EndArray,
        Key,
        String,
        Integer,
        Unsigned,
        Float,
        Bool,
        Null
    };
    // Sixteen bytes: an entry's events are many and short-lived.
    struct Event {
        Kind kind;
        std::uint32_t text = 0;     // keys and strings: the index of their text
        std::uint64_t payload = 0;  // a number's or flag's bits

        std::int64_t Integer() const { return std::bit_cast<std::int64_t>(payload); }
        std::uint64_t Whole() const { return payload; }
        double Number() const { return std::bit_cast<double>(payload); }
        bool Flag() const { return payload != 0; }
    };

    void Clear();
    void Add(Kind kind) { m_events.push_back(Event{.kind = kind}); }
    void AddText(Kind kind, const std::string& text);
    void AddInteger(std::int64_t value) {
        m_events.push_back(Event{Kind::Integer, 0, std::bit_cast<std::uint64_t>(value)});
    }
    void AddUnsigned(std::uint64_t value) { m_events.push_back(Event{Kind::Unsigned, 0, value}); }
    void AddFloat(double value) {
        m_events.push_back(Event{Kind::Float, 0, std::bit_cast<std::uint64_t>(value)});
    }
    void AddBool(bool value) { m_events.push_back(Event{Kind::Bool, 0, value ? 1U : 0U}); }

    const std::vector<Event>& Events() const { return m_events; }
    const std::string& Text(const Event& event) const { return m_texts[event.text]; }
    // The entry as JSON, as a parser building the whole document makes it (a member
    // written twice is the second, in the place of the first).
    Json ToJson() const;

  private:
    std::vector<Event> m_events;
    std::vector<std::string> m_texts;
    std::size_t m_textCount = 0;
};

// Reads the next entry of legend's "values" (at valuesPlace) into its renderer; once
// an entry has failed, the rest are not read.
void ReadLegendEntry(const DocumentFaults& faults, const LegendEntry& entry,
                     const std::string& valuesPlace, LegendValues& legend,
                     const std::shared_ptr<objects::HostContext>& context);

// A simple or unique value renderer. A unique value renderer whose values were
// read as the document was parsed (legends holds them at place; its "values" then
// an empty array) is that renderer, with the rest of its members.
std::shared_ptr<host::IFeatureRenderer> ReadRenderer(
    const DocumentFaults& faults, const Json& value, const std::string& place,
    const std::shared_ptr<objects::HostContext>& context,
    const LegendValuesByPlace* legends = nullptr);

// Writes a symbol's JSON to out (null for an empty one). A symbol of another kind
// raises through faults, naming place and the layer, with part of it written
// already.
void WriteSymbol(JsonWriter& out, const DocumentFaults& faults,
                 const std::shared_ptr<host::ISymbol>& symbol, const std::string& place,
                 const std::string& layer);
// Writes a renderer's JSON to out as it goes. A renderer or symbol the format
// cannot hold raises through faults, naming place and the layer, with part of the
// renderer written already; text that is not UTF-8 raises JsonWriter::InvalidText.
void WriteRenderer(JsonWriter& out, const DocumentFaults& faults,
                   const std::shared_ptr<host::IFeatureRenderer>& renderer,
                   const std::string& place, const std::string& layer);

// The key fields a unique value renderer names (empty for other renderers), for
// checking them against the layer's fields.
std::vector<std::string> RendererFields(const std::shared_ptr<host::IFeatureRenderer>& renderer);

}  // namespace velorin::gdal
