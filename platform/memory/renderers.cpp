#include "platform/memory/renderers.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <unordered_map>
#include <variant>

#include "host/codes.h"
#include "host/error.h"
#include "host/field_value.h"
#include "platform/memory/rows.h"
#include "platform/memory/symbols.h"

namespace velorin::memory {

namespace {

[[noreturn]] void NoSuchValue(const std::string& value) {
    throw Error(host::E_HOST_INVALIDARG, "The value '" + value + "' is not in the renderer");
}

}  // namespace

// ---- SimpleRenderer ----------------------------------------------------------------

SimpleRenderer::SimpleRenderer(std::shared_ptr<HostContext> context,
                               std::shared_ptr<host::ISymbol> symbol)
    : m_context(std::move(context)), m_symbol(std::move(symbol)) {}

std::shared_ptr<host::ISymbol> SimpleRenderer::SymbolByFeature(
    const std::shared_ptr<host::IFeature>& feature) {
    Announce(m_context, "IFeatureRenderer::SymbolByFeature");
    if (!feature) throw Error(host::E_HOST_POINTER, "SymbolByFeature needs a feature");
    return m_symbol;
}
std::shared_ptr<host::ISymbol> SimpleRenderer::Symbol() const {
    Announce(m_context, "ISimpleRenderer::Symbol");
    return m_symbol;
}
void SimpleRenderer::SetSymbol(const std::shared_ptr<host::ISymbol>& symbol) {
    Announce(m_context, "ISimpleRenderer::Symbol");
    m_symbol = symbol;
}
std::string SimpleRenderer::Label() const {
    Announce(m_context, "ISimpleRenderer::Label");
    return m_label;
}
void SimpleRenderer::SetLabel(const std::string& label) {
    Announce(m_context, "ISimpleRenderer::Label");
    m_label = label;
}

// ---- ValueTexts ----------------------------------------------------------------------

void ValueTexts::PushBack(std::string_view text) {
    m_ends.push_back(static_cast<std::uint32_t>(m_chars.size() + text.size()));
    try {
        m_chars.append(text);
    } catch (...) {
        m_ends.pop_back();
        throw;
    }
}

void ValueTexts::Truncate(std::size_t count) {
    if (count >= m_ends.size()) return;
    m_chars.resize(count == 0 ? 0 : m_ends[count - 1]);
    m_ends.resize(count);
}

// ---- ValuePositions ------------------------------------------------------------------

namespace {

std::uint32_t TagOf(std::string_view value) {
    // Widened and mixed, so the high half spreads on 32-bit targets as well.
    const auto hash =
        static_cast<std::uint64_t>(std::hash<std::string_view>{}(value)) * 0x9E3779B97F4A7C15ULL;
    return static_cast<std::uint32_t>(hash >> 32U);
}

}  // namespace

std::size_t ValuePositions::SlotOf(std::string_view value, std::uint32_t tag,
                                   const ValueTexts& values) const {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t place = Home(tag);; place = (place + 1) & mask) {
        const Slot& slot = m_slots[place];
        if (slot.entry == 0 || (slot.tag == tag && values[slot.entry - 1] == value)) return place;
    }
}

std::uint32_t ValuePositions::Find(std::string_view value, const ValueTexts& values) const {
    if (m_count == 0) return None;
    const Slot& slot = m_slots[SlotOf(value, TagOf(value), values)];
    return slot.entry == 0 ? None : slot.entry - 1;
}

void ValuePositions::Add(std::string_view value, std::uint32_t position, const ValueTexts& values) {
    if (5 * (m_count + 1) > 4 * m_slots.size()) {
        if (m_slots.size() > MaxCount) throw std::length_error("too many renderer values");
        const unsigned bits = m_bits == 0 ? 4 : m_bits + 1;
        std::vector<Slot> grown(std::size_t{1} << bits);
        const std::size_t mask = grown.size() - 1;
        for (const Slot& slot : m_slots) {
            if (slot.entry == 0) continue;
            std::size_t place = slot.tag >> (32U - bits);
            while (grown[place].entry != 0) place = (place + 1) & mask;
            grown[place] = slot;
        }
        m_slots = std::move(grown);
        m_bits = bits;
    }
    const std::uint32_t tag = TagOf(value);
    m_slots[SlotOf(value, tag, values)] = Slot{tag, position + 1};
    ++m_count;
}

// ---- UniqueValueRenderer -------------------------------------------------------------

UniqueValueRenderer::UniqueValueRenderer(std::shared_ptr<HostContext> context)
    : m_context(std::move(context)) {}

void UniqueValueRenderer::Enter(const char* member) const { Announce(m_context, member); }

std::shared_ptr<host::ISymbol> UniqueValueRenderer::Fallback() const {
    return m_useDefault ? m_defaultSymbol : nullptr;
}

namespace {

// Asks the processor to bring the line holding `address` into the cache, without
// waiting for it; any address will do, as nothing is read.
void Prefetch(std::uintptr_t address) {
#if defined(__GNUC__)
    __builtin_prefetch(reinterpret_cast<const void*>(address));
#else
    static_cast<void>(address);
#endif
}

}  // namespace

void UniqueValueRenderer::FetchAhead(const std::vector<std::int32_t>& entries,
                                     std::size_t position) const {
    // The rows after this one are most likely asked next (a walk or a redraw goes
    // row by row), and with a large legend their symbols lie anywhere in memory.
    // Each answer copies a symbol reference, an atomic that waits for every
    // earlier miss, and so does the caller's copy of the symbol's colour: misses
    // met on demand follow one another; fetched ahead, they overlap. In steps,
    // each reading only what the one before brought in: the symbol's place in
    // m_symbols for a row further on, then the symbol (its reference count sits
    // just before a symbol the host made), then its colour the same way.
    constexpr std::size_t Far = 32;
    constexpr std::size_t Near = 8;
    constexpr std::size_t Nearest = 3;
    const auto symbolAhead = [&](std::size_t distance) -> const std::shared_ptr<host::ISymbol>* {
        if (position + distance >= entries.size()) return nullptr;
        const std::int32_t entry = entries[position + distance];
        if (entry < 0 || static_cast<std::size_t>(entry) >= m_symbols.size()) return nullptr;
        return &m_symbols[static_cast<std::size_t>(entry)];
    };
    const auto fetchObject = [](const void* object) {
        if (object == nullptr) return;
        const auto address = reinterpret_cast<std::uintptr_t>(object);
        Prefetch(address - 16);
        Prefetch(address + 48);
    };
    if (const auto* symbol = symbolAhead(Far)) Prefetch(reinterpret_cast<std::uintptr_t>(symbol));
    if (const auto* symbol = symbolAhead(Near)) fetchObject(symbol->get());
    if (const auto* symbol = symbolAhead(Nearest); symbol != nullptr && *symbol) {
        fetchObject(HeldColor(**symbol));
    }
}

std::shared_ptr<host::ISymbol> UniqueValueRenderer::SymbolOfEntry(std::int32_t entry) const {
    if (entry < 0 || static_cast<std::size_t>(entry) >= m_values.Size()) return Fallback();
    return m_symbols[static_cast<std::size_t>(entry)];
}

namespace {

// The key of one row, or nothing when a key field is missing or null.
template <class ValueOf>
std::optional<std::string> KeyOf(const std::vector<std::int32_t>& fieldIndexes,
                                 const ValueOf& valueOf) {
    std::string key;
    for (std::size_t i = 0; i < fieldIndexes.size(); ++i) {
        if (fieldIndexes[i] < 0) return std::nullopt;
        const host::FieldValue value = valueOf(fieldIndexes[i]);
        if (value.IsNull()) return std::nullopt;
        if (i > 0) key += ", ";
        key += host::ToText(value);
    }
    return key;
}

// The entries of a key field's whole numbers (ids, most often), found once per
// distinct number instead of once per row: a table by number when the numbers
// are dense, else a hash map.
class WholeKeys {
  public:
    static constexpr std::int32_t Unseen = -2;

    WholeKeys() = default;
    WholeKeys(const RowStore& store, std::size_t field) : m_field(field), m_used(true) {
        std::int64_t low = std::numeric_limits<std::int64_t>::max();
        std::int64_t high = std::numeric_limits<std::int64_t>::min();
        for (std::size_t p = 0; p < store.Size(); ++p) {
            if (const auto number = WholeOf(store.ValuesAt(p)[field])) {
                low = std::min(low, *number);
                high = std::max(high, *number);
            }
        }
        if (low > high) return;
        // A span wider than this is cheaper to look up by hashing.
        const auto widest =
            static_cast<std::uint64_t>(std::max<std::size_t>(store.Size(), 4096)) * 4;
        if (static_cast<std::uint64_t>(high) - static_cast<std::uint64_t>(low) < widest) {
            m_low = low;
            m_dense.assign(static_cast<std::size_t>(high - low) + 1, Unseen);
        }
    }

    // Where the entry of the row's key number is kept, or null when the key is
    // not a whole number (null, or another kind of field).
    std::int32_t* Slot(const RowValues& values) {
        if (!m_used) return nullptr;
        const auto number = WholeOf(values[m_field]);
        if (!number) return nullptr;
        if (!m_dense.empty()) return &m_dense[static_cast<std::size_t>(*number - m_low)];
        return &m_sparse.try_emplace(*number, Unseen).first->second;
    }

  private:
    static std::optional<std::int64_t> WholeOf(const host::FieldValue& value) {
        return std::visit(
            [](const auto& v) -> std::optional<std::int64_t> {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t> ||
                              std::is_same_v<T, std::int64_t>) {
                    return v;
                } else if constexpr (std::is_same_v<T, host::ObjectId>) {
                    return v.value;
                } else {
                    return std::nullopt;
                }
            },
            value.Get());
    }

    std::size_t m_field = 0;
    bool m_used = false;
    std::int64_t m_low = 0;
    std::vector<std::int32_t> m_dense;
    std::unordered_map<std::int64_t, std::int32_t> m_sparse;
};

}  // namespace

const std::vector<std::int32_t>& UniqueValueRenderer::EntriesFor(
    const std::shared_ptr<const RowStore>& store) const {
    Resolution& resolved = m_resolved;
    // Same owner, not lock(): asked once per feature drawn or walked, and the
    // weak reference keeps the owner's block, so it cannot name another store.
    const bool sameStore =
        !resolved.store.owner_before(store) && !store.owner_before(resolved.store);
    if (sameStore && resolved.rows == store->Size() && resolved.keyVersion == m_keyVersion) {
        return resolved.entries;
    }
    resolved = Resolution{store, store->Size(), m_keyVersion, {}};
    resolved.entries.assign(store->Size(), NoEntry);
    if (m_fields.empty()) return resolved.entries;
    const Fields& fields = *store->FieldSet();
    std::vector<std::int32_t> indexes;
    for (const KeyField& field : m_fields) {
        const std::int32_t index = fields.Find(field.name);
        // The shape field holds no value a key can have.
        indexes.push_back(index == fields.ShapeIndex() ? -1 : index);
    }
    const auto entryOfKey = [&](const std::string& key) {
        const std::uint32_t found = m_index.Find(key, m_values);
        return found == ValuePositions::None ? NoEntry : static_cast<std::int32_t>(found);
    };
    WholeKeys whole;
    if (indexes.size() == 1 && indexes[0] >= 0) {
        whole = WholeKeys(*store, static_cast<std::size_t>(indexes[0]));
    }
    for (std::size_t p = 0; p < store->Size(); ++p) {
        const RowValues values = store->ValuesAt(p);
        if (std::int32_t* entry = whole.Slot(values)) {
            if (*entry == WholeKeys::Unseen) {
                *entry = entryOfKey(host::ToText(values[static_cast<std::size_t>(indexes[0])]));
            }
            resolved.entries[p] = *entry;
            continue;
        }
        const auto key =
            KeyOf(indexes, [&](std::int32_t i) { return values[static_cast<std::size_t>(i)]; });
        if (key) resolved.entries[p] = entryOfKey(*key);
    }
    return resolved.entries;
}

std::shared_ptr<host::ISymbol> UniqueValueRenderer::SymbolByFeature(
    const std::shared_ptr<host::IFeature>& feature) {
    Enter("IFeatureRenderer::SymbolByFeature");
    if (!feature) throw Error(host::E_HOST_POINTER, "SymbolByFeature needs a feature");
    if (m_fields.empty()) return Fallback();
    // The store's own features, told by their type alone: a search of the type's
    // bases (dynamic_cast) would cost a good share of the answer.
    if (typeid(*feature) == typeid(Feature)) {
        const auto& stored = static_cast<const Feature&>(*feature);
        const std::vector<std::int32_t>& entries = EntriesFor(stored.Store());
        const std::size_t position = stored.Position();
        FetchAhead(entries, position);
        return SymbolOfEntry(entries[position]);
    }

    std::optional<std::string> key;
    {
        const QuietHost quiet(m_context);
        const auto fields = feature->Fields();
        if (!fields) return Fallback();
        std::vector<std::int32_t> indexes;
        for (const KeyField& field : m_fields) indexes.push_back(fields->FindField(field.name));
        key = KeyOf(indexes, [&](std::int32_t i) { return feature->Value(i); });
    }
    if (!key) return Fallback();
    const std::uint32_t found = m_index.Find(*key, m_values);
    if (found == ValuePositions::None) return Fallback();
    return m_symbols[found];
}

std::int32_t UniqueValueRenderer::FieldCount() const {
    Enter("IUniqueValueRenderer::FieldCount");
    return static_cast<std::int32_t>(m_fields.size());
}

void UniqueValueRenderer::SetFieldCount(std::int32_t count) {
    Enter("IUniqueValueRenderer::FieldCount");
    if (count < 0 || count > MaxFields) {
        throw Error(host::E_HOST_INVALIDARG,
                    "A unique value renderer has 0 to 3 key fields, not " + std::to_string(count));
    }
    m_fields.resize(static_cast<std::size_t>(count));
    ++m_version;
    ++m_keyVersion;
}

std::size_t UniqueValueRenderer::CheckFieldIndex(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_fields.size()) {
        throw Error(host::E_HOST_INVALIDARG, "Key field " + std::to_string(index) +
                                                 " is out of range (the renderer has " +
                                                 std::to_string(m_fields.size()) + ")");
    }
    return static_cast<std::size_t>(index);
}

std::string UniqueValueRenderer::Field(std::int32_t index) const {
    Enter("IUniqueValueRenderer::Field");
    return m_fields[CheckFieldIndex(index)].name;
}
void UniqueValueRenderer::SetField(std::int32_t index, const std::string& field) {
    Enter("IUniqueValueRenderer::Field");
    m_fields[CheckFieldIndex(index)].name = field;
    ++m_version;
    ++m_keyVersion;
}
bool UniqueValueRenderer::FieldType(std::int32_t index) const {
    Enter("IUniqueValueRenderer::FieldType");
    return m_fields[CheckFieldIndex(index)].isString;
}
void UniqueValueRenderer::SetFieldType(std::int32_t index, bool isString) {
    Enter("IUniqueValueRenderer::FieldType");
    m_fields[CheckFieldIndex(index)].isString = isString;
}

std::shared_ptr<host::ISymbol> UniqueValueRenderer::DefaultSymbol() const {
    Enter("IUniqueValueRenderer::DefaultSymbol");
    return m_defaultSymbol;
}
void UniqueValueRenderer::SetDefaultSymbol(const std::shared_ptr<host::ISymbol>& symbol) {
    Enter("IUniqueValueRenderer::DefaultSymbol");
    m_defaultSymbol = symbol;
    ++m_version;
}
bool UniqueValueRenderer::UseDefaultSymbol() const {
    Enter("IUniqueValueRenderer::UseDefaultSymbol");
    return m_useDefault;
}
void UniqueValueRenderer::SetUseDefaultSymbol(bool use) {
    Enter("IUniqueValueRenderer::UseDefaultSymbol");
    m_useDefault = use;
    ++m_version;
}
std::string UniqueValueRenderer::DefaultLabel() const {
    Enter("IUniqueValueRenderer::DefaultLabel");
    return m_defaultLabel;
}
void UniqueValueRenderer::SetDefaultLabel(const std::string& label) {
    Enter("IUniqueValueRenderer::DefaultLabel");
    m_defaultLabel = label;
}

std::int32_t UniqueValueRenderer::ValueCount() const {
    Enter("IUniqueValueRenderer::ValueCount");
    return static_cast<std::int32_t>(m_values.Size());
}

std::string UniqueValueRenderer::Value(std::int32_t index) const {
    Enter("IUniqueValueRenderer::Value");
    if (index < 0 || static_cast<std::size_t>(index) >= m_values.Size()) {
        throw Error(host::E_HOST_INVALIDARG, "Value " + std::to_string(index) +
                                                 " is out of range (the renderer has " +
                                                 std::to_string(m_values.Size()) + ")");
    }
    return std::string(m_values[static_cast<std::size_t>(index)]);
}

void UniqueValueRenderer::AddValue(const std::string& value, const std::string& heading,
                                   const std::shared_ptr<host::ISymbol>& symbol) {
    Enter("IUniqueValueRenderer::AddValue");
    if (m_index.Find(value, m_values) != ValuePositions::None) {
        throw Error(host::E_HOST_INVALIDARG,
                    "The value '" + value + "' is already in the renderer");
    }
    if (m_values.Size() >= ValuePositions::MaxCount ||
        value.size() > ValueTexts::MaxBytes - m_values.Bytes()) {
        throw Error(host::E_HOST_FAIL, "The renderer holds as many values as it can");
    }
    const auto position = static_cast<std::uint32_t>(m_values.Size());
    try {
        auto heard = m_headingIndex.find(heading);
        if (heard == m_headingIndex.end()) {
            m_headings.push_back(heading);
            heard =
                m_headingIndex.emplace(heading, static_cast<std::uint32_t>(m_headings.size() - 1))
                    .first;
        }
        m_headingOf.push_back(heard->second);
        m_values.PushBack(value);
        m_symbols.push_back(symbol);
        m_index.Add(value, position, m_values);
    } catch (...) {
        // No room left: the value is not added at all.
        m_headingOf.resize(position);
        m_values.Truncate(position);
        m_symbols.resize(position);
        throw;
    }
    ++m_version;
    ++m_keyVersion;
}

std::size_t UniqueValueRenderer::Find(const std::string& value) const {
    const std::uint32_t found = m_index.Find(value, m_values);
    if (found == ValuePositions::None) NoSuchValue(value);
    return found;
}

std::string_view UniqueValueRenderer::LabelAt(std::size_t index) const {
    const auto found = m_labels.find(static_cast<std::uint32_t>(index));
    return found == m_labels.end() ? m_values[index] : std::string_view(found->second);
}

std::string UniqueValueRenderer::Heading(const std::string& value) const {
    Enter("IUniqueValueRenderer::Heading");
    return m_headings[m_headingOf[Find(value)]];
}
std::string UniqueValueRenderer::Label(const std::string& value) const {
    Enter("IUniqueValueRenderer::Label");
    return std::string(LabelAt(Find(value)));
}
void UniqueValueRenderer::SetLabel(const std::string& value, const std::string& label) {
    Enter("IUniqueValueRenderer::Label");
    const auto position = static_cast<std::uint32_t>(Find(value));
    if (label == value) {
        m_labels.erase(position);
    } else {
        m_labels[position] = label;
    }
}
std::shared_ptr<host::ISymbol> UniqueValueRenderer::Symbol(const std::string& value) const {
    Enter("IUniqueValueRenderer::Symbol");
    return m_symbols[Find(value)];
}
void UniqueValueRenderer::SetSymbol(const std::string& value,
                                    const std::shared_ptr<host::ISymbol>& symbol) {
    Enter("IUniqueValueRenderer::Symbol");
    m_symbols[Find(value)] = symbol;
    ++m_version;
}

std::string UniqueValueRenderer::ColorScheme() const {
    Enter("IUniqueValueRenderer::ColorScheme");
    return m_colorScheme;
}
void UniqueValueRenderer::SetColorScheme(const std::string& name) {
    Enter("IUniqueValueRenderer::ColorScheme");
    m_colorScheme = name;
}

// ---- UniqueValuePropertyPage -----------------------------------------------------------

UniqueValuePropertyPage::UniqueValuePropertyPage(std::shared_ptr<HostContext> context)
    : m_context(std::move(context)) {}

std::string UniqueValuePropertyPage::ClassID() const {
    Announce(m_context, "IRendererPropertyPage::ClassID");
    return std::string(UniqueValuePropertyPageClassID);
}

// ---- MakeDefaultRenderer ---------------------------------------------------------------

std::shared_ptr<SimpleRenderer> MakeDefaultRenderer(std::shared_ptr<HostContext> context,
                                                    std::int32_t shapeType,
                                                    std::int32_t colorIndex) {
    struct Color {
        std::int32_t red, green, blue;
    };
    // Medium tones that read on the light map background, as fills and as lines.
    static constexpr std::array<Color, 8> Palette{{{56, 168, 0},
                                                   {0, 112, 255},
                                                   {230, 76, 0},
                                                   {168, 0, 132},
                                                   {0, 168, 132},
                                                   {255, 170, 0},
                                                   {137, 90, 68},
                                                   {115, 115, 0}}};
    constexpr auto n = static_cast<std::int32_t>(Palette.size());
    const Color c = Palette[static_cast<std::size_t>(((colorIndex % n) + n) % n)];
    // Setting up a layer is the host's own work, not a call to count.
    const QuietHost quiet(context);
    auto color = MakeRgbColor(context, c.red, c.green, c.blue);

    std::shared_ptr<host::ISymbol> symbol;
    if (shapeType == host::esriGeometryPoint || shapeType == host::esriGeometryMultipoint) {
        auto marker = std::make_shared<SimpleMarkerSymbol>(context);
        marker->SetColor(color);
        symbol = marker;
    } else if (shapeType == host::esriGeometryPolyline) {
        auto line = std::make_shared<SimpleLineSymbol>(context);
        line->SetColor(color);
        symbol = line;
    } else {
        auto fill = std::make_shared<SimpleFillSymbol>(context);
        fill->SetColor(color);
        symbol = fill;
    }
    return std::make_shared<SimpleRenderer>(context, symbol);
}

}  // namespace velorin::memory
