#include "platform/memory/store_matches.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <variant>

#include "host/field_value.h"
#include "platform/memory/rows.h"

namespace velorin::memory {

namespace {

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
            if (const auto number = store.ValuesAt(p)[field].AsWhole()) {
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
        const auto number = values[m_field].AsWhole();
        if (!number) return nullptr;
        if (!m_dense.empty()) return &m_dense[static_cast<std::size_t>(*number - m_low)];
        return &m_sparse.try_emplace(*number, Unseen).first->second;
    }

  private:
    std::size_t m_field = 0;
    bool m_used = false;
    std::int64_t m_low = 0;
    std::vector<std::int32_t> m_dense;
    std::unordered_map<std::int64_t, std::int32_t> m_sparse;
};

}  // namespace

std::vector<std::int32_t> MatchRows(const UniqueValueRenderer& renderer, const RowStore& store) {
    std::vector<std::int32_t> entries(store.Size(), UniqueValueRenderer::NoEntry);
    const std::vector<std::string> keyFields = renderer.KeyFieldNames();
    if (keyFields.empty()) return entries;
    const Fields& fields = *store.FieldSet();
    std::vector<std::int32_t> indexes;
    for (const std::string& name : keyFields) {
        const std::int32_t index = fields.Find(name);
        // The shape field holds no value a key can have.
        indexes.push_back(index == fields.ShapeIndex() ? -1 : index);
    }
    if (std::find(indexes.begin(), indexes.end(), -1) != indexes.end()) return entries;
    WholeKeys whole;
    if (indexes.size() == 1) whole = WholeKeys(store, static_cast<std::size_t>(indexes[0]));
    std::string key;
    for (std::size_t p = 0; p < store.Size(); ++p) {
        const RowValues values = store.ValuesAt(p);
        if (std::int32_t* entry = whole.Slot(values)) {
            if (*entry == WholeKeys::Unseen) {
                *entry =
                    renderer.FindEntry(host::ToText(values[static_cast<std::size_t>(indexes[0])]));
            }
            entries[p] = *entry;
            continue;
        }
        key.clear();
        bool complete = true;
        for (std::size_t i = 0; i < indexes.size() && complete; ++i) {
            const host::FieldValue& value = values[static_cast<std::size_t>(indexes[i])];
            complete = !value.IsNull();
            if (i > 0) key += ", ";
            if (complete) key += host::ToText(value);
        }
        if (complete) entries[p] = renderer.FindEntry(key);
    }
    return entries;
}

namespace {

// A renderer's matches of the rows of the store it was asked about last.
struct RowMatches {
    std::weak_ptr<const RowStore> store;
    std::size_t rows = 0;
    std::uint64_t keyVersion = 0;
    std::vector<std::int32_t> entries;
};

}  // namespace

const std::vector<std::int32_t>& StoredMatches(const UniqueValueRenderer& renderer,
                                               const std::shared_ptr<const RowStore>& store) {
    std::shared_ptr<void>& memo = renderer.HostMemo();
    auto* matches = static_cast<RowMatches*>(memo.get());
    // Same owner, not lock(): asked once per feature, and the weak reference keeps
    // the owner's block, so it cannot name another store.
    const bool same = matches != nullptr && !matches->store.owner_before(store) &&
                      !store.owner_before(matches->store) && matches->rows == store->Size() &&
                      matches->keyVersion == renderer.KeyVersion();
    if (!same) {
        auto made = std::make_shared<RowMatches>(
            RowMatches{store, store->Size(), renderer.KeyVersion(), MatchRows(renderer, *store)});
        matches = made.get();
        memo = std::move(made);
    }
    return matches->entries;
}

namespace {

std::int32_t EntryOfStoredFeature(const host::IFeature& feature,
                                  const UniqueValueRenderer& renderer) {
    // The store's own features, told by their type alone: a search of the type's
    // bases (dynamic_cast) would cost a good share of the answer.
    if (typeid(feature) != typeid(Feature)) return UniqueValueRenderer::NotKnown;
    const auto& stored = static_cast<const Feature&>(feature);
    const std::vector<std::int32_t>& entries = StoredMatches(renderer, stored.Store());
    // A walk or a redraw goes row by row, so the rows after this one come next.
    renderer.FetchAhead(entries, stored.Position());
    return entries[stored.Position()];
}

}  // namespace

void MatchStoredRows(HostContext& context) { context.entryOfFeature = EntryOfStoredFeature; }

}  // namespace velorin::memory
