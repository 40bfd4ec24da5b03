#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/memory/neutral_objects.h"
#include "platform/memory/row_store.h"

namespace velorin::memory {

// Which value of a unique value renderer each row of one of the host's stores
// matches, worked out once per store, renderer and change of the renderer's keys
// or the store's rows instead of once per feature drawn: a redraw of a large
// layer asks for every row, and most keys repeat (ids of a few catchments).
class StoreMatches {
  public:
    // Per row: the index of the value it matches, or UniqueValueRenderer::NoEntry.
    // Valid until the next call.
    const std::vector<std::int32_t>& Of(const std::shared_ptr<const UniqueValueRenderer>& renderer,
                                        const std::shared_ptr<const RowStore>& store);

  private:
    struct Entry {
        std::weak_ptr<const UniqueValueRenderer> renderer;
        std::weak_ptr<const RowStore> store;
        std::size_t rows = 0;
        std::uint64_t keyVersion = 0;
        std::vector<std::int32_t> entries;
    };
    std::unordered_map<const UniqueValueRenderer*, Entry> m_entries;
};

// The same, worked out without keeping anything.
std::vector<std::int32_t> MatchRows(const UniqueValueRenderer& renderer, const RowStore& store);

// Lets every unique value renderer of the context find the value a feature of
// this host's stores matches by its row (HostContext::entryOfFeature), worked
// out once per store and kept in the renderer, instead of reading the feature's
// keys: a walk over a million features asks a million times. What it saves is
// measured by bench/copylegend_bench (the engine and its floor read every
// feature's colour); the plain reading of keys is its twin, compared in
// tests/memory/renderer_test.cpp.
void MatchStoredRows(HostContext& context);

}  // namespace velorin::memory
