#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/memory/neutral_objects.h"
#include "platform/memory/row_store.h"

namespace velorin::memory {

// Which value of a unique value renderer each row of one of the host's stores
// matches (per row: the value's index, or UniqueValueRenderer::NoEntry), worked
// out once per store, renderer and change of the renderer's keys or the store's
// rows, and kept in the renderer, instead of once per feature drawn or walked: a
// redraw or a walk of a large layer asks for every row, and most keys repeat.
// Valid until the renderer is next asked about another store.
const std::vector<std::int32_t>& StoredMatches(const UniqueValueRenderer& renderer,
                                               const std::shared_ptr<const RowStore>& store);

// The same, worked out anew.
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
