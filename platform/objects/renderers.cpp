#include "platform/objects/renderers.h"

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
#include "platform/objects/symbols.h"

namespace velorin::objects {

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

// Both ends of an object the host made with make_shared: its reference count sits
// just before it, and a symbol's colour reference a little after. A wrong guess
// costs one useless fetch, never a wrong answer.
void PrefetchObject(const void* object) {
    if (object == nullptr) return;
    const auto address = reinterpret_cast<std::uintptr_t>(object);
    Prefetch(address - 16);
    Prefetch(address + 48);
}

}  // namespace

void UniqueValueRenderer::FetchAhead(std::span<const std::int32_t> entries,
                                     std::size_t position) const {
    // Each answer copies a symbol reference, an atomic that waits for every earlier
    // miss, and so does the caller's copy of the symbol's colour: misses met on
    // demand follow one another; fetched ahead, they overlap. In steps, each
    // reading only what the one before brought in: the symbol's place in
    // m_symbols for a row further on, then the symbol, then its colour.
    constexpr std::size_t Far = 32;
    constexpr std::size_t Near = 8;
    constexpr std::size_t Nearest = 3;
    const auto symbolAhead = [&](std::size_t distance) -> const std::shared_ptr<host::ISymbol>* {
        if (position + distance >= entries.size()) return nullptr;
        const std::int32_t entry = entries[position + distance];
        if (entry < 0 || static_cast<std::size_t>(entry) >= m_symbols.size()) return nullptr;
        return &m_symbols[static_cast<std::size_t>(entry)];
    };
    if (const auto* symbol = symbolAhead(Far)) Prefetch(reinterpret_cast<std::uintptr_t>(symbol));
    if (const auto* symbol = symbolAhead(Near)) PrefetchObject(symbol->get());
    if (const auto* symbol = symbolAhead(Nearest); symbol != nullptr && *symbol) {
        PrefetchObject(HeldColor(**symbol));
    }
}

std::shared_ptr<host::ISymbol> UniqueValueRenderer::SymbolOfEntry(std::int32_t entry) const {
    if (entry < 0 || static_cast<std::size_t>(entry) >= m_values.Size()) return Fallback();
    return m_symbols[static_cast<std::size_t>(entry)];
}

std::optional<std::string> UniqueValueRenderer::KeyOf(const host::IFeature& feature) const {
    const auto fields = feature.Fields();
    if (!fields) return std::nullopt;
    const bool sameFields =
        !m_lastFields.owner_before(fields) && !fields.owner_before(m_lastFields);
    if (!sameFields || m_lastIndexes.size() != m_fields.size()) {
        m_lastIndexes.clear();
        for (const KeyField& field : m_fields)
            m_lastIndexes.push_back(fields->FindField(field.name));
        m_lastFields = fields;
    }
    std::string key;
    for (std::size_t i = 0; i < m_lastIndexes.size(); ++i) {
        if (m_lastIndexes[i] < 0) return std::nullopt;
        const host::FieldValue value = feature.Value(m_lastIndexes[i]);
        if (value.IsNull()) return std::nullopt;
        if (i > 0) key += ", ";
        key += host::ToText(value);
    }
    return key;
}

std::vector<std::string> UniqueValueRenderer::KeyFieldNames() const {
    std::vector<std::string> names;
    for (const KeyField& field : m_fields) names.push_back(field.name);
    return names;
}

std::int32_t UniqueValueRenderer::FindEntry(std::string_view key) const {
    const std::uint32_t found = m_index.Find(key, m_values);
    return found == ValuePositions::None ? NoEntry : static_cast<std::int32_t>(found);
}

std::shared_ptr<host::ISymbol> UniqueValueRenderer::SymbolByFeature(
    const std::shared_ptr<host::IFeature>& feature) {
    Enter("IFeatureRenderer::SymbolByFeature");
    if (!feature) throw Error(host::E_HOST_POINTER, "SymbolByFeature needs a feature");
    if (m_fields.empty()) return Fallback();
    if (m_context && m_context->entryOfFeature) {
        const std::int32_t entry = m_context->entryOfFeature(*feature, *this);
        if (entry != NotKnown) return SymbolOfEntry(entry);
    }
    std::optional<std::string> key;
    {
        const QuietHost quiet(m_context);
        key = KeyOf(*feature);
    }
    return key ? SymbolOfEntry(FindEntry(*key)) : Fallback();
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
        // Values mostly share one heading (the key field's name).
        if (m_headings.empty() || m_headings[m_lastHeading] != heading) {
            auto heard = m_headingIndex.find(heading);
            if (heard == m_headingIndex.end()) {
                m_headings.push_back(heading);
                heard = m_headingIndex
                            .emplace(heading, static_cast<std::uint32_t>(m_headings.size() - 1))
                            .first;
            }
            m_lastHeading = heard->second;
        }
        m_headingOf.push_back(m_lastHeading);
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

}  // namespace velorin::objects
