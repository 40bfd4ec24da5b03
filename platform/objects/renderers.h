#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/renderers.h"
#include "platform/objects/host_context.h"

// The renderers and the unique value property page that any host hands out (the
// extension makes them through the object factory, and a host keeps them as a
// layer's renderer). Every member announces itself to the context's fault
// injector first; the reads a renderer makes of a feature to pick its symbol are
// the host's own work and are not announced.
namespace velorin::objects {

// Class identifiers of the renderer property pages: a layer remembers which page
// edits its renderer by these.
inline constexpr std::string_view SingleSymbolPropertyPageClassID =
    "{4B1C9E52-7D3A-4F08-9C61-2E5A8B0D7F13}";
inline constexpr std::string_view UniqueValuePropertyPageClassID =
    "{8E27D4A0-3C6B-4E91-B5F2-61A09C7D4E28}";

// Draws every feature with one symbol (none while the symbol is empty).
class SimpleRenderer final : public host::IFeatureRenderer, public host::ISimpleRenderer {
  public:
    explicit SimpleRenderer(std::shared_ptr<HostContext> context,
                            std::shared_ptr<host::ISymbol> symbol = {});

    std::shared_ptr<host::ISymbol> SymbolByFeature(
        const std::shared_ptr<host::IFeature>& feature) override;
    std::shared_ptr<host::ISymbol> Symbol() const override;
    void SetSymbol(const std::shared_ptr<host::ISymbol>& symbol) override;
    std::string Label() const override;
    void SetLabel(const std::string& label) override;

  private:
    std::shared_ptr<HostContext> m_context;
    std::shared_ptr<host::ISymbol> m_symbol;
    std::string m_label;
};

// A renderer's value texts by position, end to end in one buffer: a legend's
// values are mostly short (ids, codes), and a std::string each would take 32
// bytes and more.
class ValueTexts {
  public:
    // At most this many bytes of text in all.
    static constexpr std::size_t MaxBytes = 0xFFFFFFFFU;

    std::size_t Size() const { return m_ends.size(); }
    std::size_t Bytes() const { return m_chars.size(); }
    std::string_view operator[](std::size_t position) const {
        const std::size_t start = position == 0 ? 0 : m_ends[position - 1];
        return {m_chars.data() + start, m_ends[position] - start};
    }
    // Adds a text after the others; changes nothing when it raises (no memory
    // left). The caller keeps Bytes() + text.size() within MaxBytes.
    void PushBack(std::string_view text);
    // Drops the texts from `count` on.
    void Truncate(std::size_t count);

  private:
    std::string m_chars;
    std::vector<std::uint32_t> m_ends;  // per text: where it ends in m_chars
};

// The positions of a renderer's values, found by value text (compared exactly):
// open addressing over a power-of-two table of 8-byte slots, kept at most four
// fifths full. A lookup touches a slot or two and, on a hash match, the text; a
// node-based set chases two or three pointers per lookup and holds a node per
// value. Each slot keeps the high half of its value's hash, which places it in
// any larger table, so growing hashes no text again. What it saves: Copy Legend
// Colors at 1,000,000 Source features and 100,000 keys (bench/copylegend_bench,
// BM_CopyLegendColors) takes about 1.4x the time with a std::unordered_map of
// the texts instead, in one run; its plain twin is that map, compared on
// adversarial texts in tests/objects/value_positions_test.cpp.
class ValuePositions {
  public:
    static constexpr std::uint32_t None = 0xFFFFFFFFU;
    // At most this many values (the slots then number at most 2^32).
    static constexpr std::size_t MaxCount = std::size_t{1} << 31;

    // The position of `value` among `values` (the owner's texts by position), or
    // None.
    std::uint32_t Find(std::string_view value, const ValueTexts& values) const;
    // Records that `value`, not there yet, is at `position` in `values`. Changes
    // nothing when it raises (no memory left).
    void Add(std::string_view value, std::uint32_t position, const ValueTexts& values);

  private:
    struct Slot {
        std::uint32_t tag = 0;    // high half of the value's hash
        std::uint32_t entry = 0;  // 1 + position; 0 marks an empty slot
    };
    // The slot holding `value`, or the empty slot where it belongs.
    std::size_t SlotOf(std::string_view value, std::uint32_t tag, const ValueTexts& values) const;
    std::size_t Home(std::uint32_t tag) const { return tag >> (32U - m_bits); }

    std::vector<Slot> m_slots;
    unsigned m_bits = 0;  // m_slots.size() == 1 << m_bits, when there are slots
    std::size_t m_count = 0;
};

// One symbol per value of a key. A feature's key is the text form (host ToText)
// of its value in field 0 (with more fields: the texts joined by ", "), found by
// field name through the feature's own fields; it matches a value when the texts
// are equal exactly, looked up through a hash map. A feature that matches no
// value, lacks a key field, or holds a null key value (null is no value, not the
// text "") gets the default symbol when its use flag is set, otherwise none.
//
// A host that draws many features at once matches them by FindEntry against the
// key texts it reads itself, and keeps what it found while KeyVersion() stays.
//
// Host defaults: no fields, no values, no default symbol, use flag set, default
// label "<all other values>", colour scheme "". A value's label starts as the
// value itself. At most three key fields.
//
// A host whose renderers key on more than field values (QGIS categorizes on
// expressions) derives from it and answers SymbolByFeature itself.
class UniqueValueRenderer : public host::IFeatureRenderer, public host::IUniqueValueRenderer {
  public:
    explicit UniqueValueRenderer(std::shared_ptr<HostContext> context);
    // Its index refers to its own values.
    UniqueValueRenderer(const UniqueValueRenderer&) = delete;
    UniqueValueRenderer& operator=(const UniqueValueRenderer&) = delete;

    static constexpr std::int32_t MaxFields = 3;

    std::shared_ptr<host::ISymbol> SymbolByFeature(
        const std::shared_ptr<host::IFeature>& feature) override;

    std::int32_t FieldCount() const override;
    void SetFieldCount(std::int32_t count) override;
    std::string Field(std::int32_t index) const override;
    void SetField(std::int32_t index, const std::string& field) override;
    bool FieldType(std::int32_t index) const override;
    void SetFieldType(std::int32_t index, bool isString) override;

    std::shared_ptr<host::ISymbol> DefaultSymbol() const override;
    void SetDefaultSymbol(const std::shared_ptr<host::ISymbol>& symbol) override;
    bool UseDefaultSymbol() const override;
    void SetUseDefaultSymbol(bool use) override;
    std::string DefaultLabel() const override;
    void SetDefaultLabel(const std::string& label) override;

    std::int32_t ValueCount() const override;
    std::string Value(std::int32_t index) const override;
    void AddValue(const std::string& value, const std::string& heading,
                  const std::shared_ptr<host::ISymbol>& symbol) override;
    std::string Heading(const std::string& value) const override;
    std::string Label(const std::string& value) const override;
    void SetLabel(const std::string& value, const std::string& label) override;
    std::shared_ptr<host::ISymbol> Symbol(const std::string& value) const override;
    void SetSymbol(const std::string& value, const std::shared_ptr<host::ISymbol>& symbol) override;

    std::string ColorScheme() const override;
    void SetColorScheme(const std::string& name) override;

    // Not announced (the host's own reads):
    static constexpr std::int32_t NoEntry = -1;
    // What HostContext::entryOfFeature answers for a feature it does not hold.
    static constexpr std::int32_t NotKnown = -2;
    // What a host worked out about this renderer for its own features (which
    // value each of its rows matches), kept with the renderer so that it goes
    // with it; the host checks KeyVersion() before trusting it.
    std::shared_ptr<void>& HostMemo() const { return m_hostMemo; }
    // The key fields' names, in order.
    std::vector<std::string> KeyFieldNames() const;
    // The index of the value whose text is `key` exactly, or NoEntry.
    std::int32_t FindEntry(std::string_view key) const;
    // Grows whenever what a feature matches may change (key fields, values).
    std::uint64_t KeyVersion() const { return m_keyVersion; }
    // The symbol of a value by index, or of NoEntry (the default symbol when it
    // is used, else none).
    std::shared_ptr<host::ISymbol> SymbolOfEntry(std::int32_t entry) const;
    // A hint for a host that answers row after row from `entries` (the values its
    // rows match, in row order): starts bringing in the symbols of the rows after
    // `position`. It reads nothing it does not own and changes no answer. With a
    // legend of a symbol per value (as a document's legend is), it halves the
    // Copy Legend walk over a million features and 100,000 values
    // (BM_CopyLegendColorsOwnSymbols: 1.9-2.0x as long without it).
    void FetchAhead(std::span<const std::int32_t> entries, std::size_t position) const;
    std::size_t EntryCount() const { return m_values.Size(); }
    // A value by index with what it is drawn and listed with, read in place (for a
    // walk over every value, as a document is saved).
    struct ValueEntry {
        std::string_view value;
        const std::string& heading;
        std::string_view label;
        const std::shared_ptr<host::ISymbol>& symbol;
    };
    ValueEntry EntryAt(std::size_t index) const {
        return {m_values[index], m_headings[m_headingOf[index]], LabelAt(index), m_symbols[index]};
    }
    // Grows on every change of what the renderer draws with.
    std::uint64_t Version() const { return m_version; }

  private:
    struct KeyField {
        std::string name;
        bool isString = false;
    };
    void Enter(const char* member) const;
    std::size_t CheckFieldIndex(std::int32_t index) const;
    // Position of the value; raises E_HOST_INVALIDARG for none.
    std::size_t Find(const std::string& value) const;
    std::string_view LabelAt(std::size_t index) const;
    std::shared_ptr<host::ISymbol> Fallback() const;
    // The key of a feature: its key fields' texts joined by ", ", or nothing when
    // one is missing or null.
    std::optional<std::string> KeyOf(const host::IFeature& feature) const;

    std::shared_ptr<HostContext> m_context;
    std::vector<KeyField> m_fields;
    // The values by position, each with its heading (most share one), its label
    // where it is not the value itself, and its symbol: a legend may hold a value
    // for every feature of a large layer, and a walk over many features reads the
    // symbols alone.
    ValueTexts m_values;
    std::vector<std::uint32_t> m_headingOf;  // per value: its heading in m_headings
    std::vector<std::string> m_headings;
    std::unordered_map<std::string, std::uint32_t> m_headingIndex;  // heading -> in m_headings
    std::uint32_t m_lastHeading = 0;  // the heading of the value added last
    std::unordered_map<std::uint32_t, std::string> m_labels;
    std::vector<std::shared_ptr<host::ISymbol>> m_symbols;
    ValuePositions m_index;
    std::uint64_t m_version = 0;
    std::uint64_t m_keyVersion = 0;  // grows when what a row matches may change
    // The key fields' positions in the fields of the feature asked last: the
    // features of one layer share their fields, so they are found by name once.
    mutable std::weak_ptr<host::IFields> m_lastFields;
    mutable std::shared_ptr<void> m_hostMemo;
    mutable std::vector<std::int32_t> m_lastIndexes;
    std::shared_ptr<host::ISymbol> m_defaultSymbol;
    bool m_useDefault = true;
    std::string m_defaultLabel = "<all other values>";
    std::string m_colorScheme;
};

class UniqueValuePropertyPage final : public host::IRendererPropertyPage {
  public:
    explicit UniqueValuePropertyPage(std::shared_ptr<HostContext> context);
    // Always UniqueValuePropertyPageClassID.
    std::string ClassID() const override;

  private:
    std::shared_ptr<HostContext> m_context;
};

// The renderer a new layer of that shape type draws with: a simple renderer with
// a new simple symbol for the shape (marker for points and multipoints, line for
// polylines, fill otherwise) in one of a fixed palette of colours, chosen by
// colorIndex (any number; it wraps), so neighbouring layers can differ.
std::shared_ptr<SimpleRenderer> MakeDefaultRenderer(std::shared_ptr<HostContext> context,
                                                    std::int32_t shapeType,
                                                    std::int32_t colorIndex = 0);

}  // namespace velorin::objects
