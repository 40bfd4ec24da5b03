#include "zoomflash/open_source_cursor.h"

namespace velorin::zoomflash {

namespace {

std::shared_ptr<host::ISelectionSet> SelectionOf(const std::shared_ptr<host::IUnknown>& layer) {
    if (const auto features = host::As<host::IFeatureSelection>(layer)) {
        return features->SelectionSet();
    }
    return host::Require<host::ITableSelection>(layer, "ITableSelection")->SelectionSet();
}

std::shared_ptr<host::ITable> TableOf(const std::shared_ptr<host::IUnknown>& layer) {
    if (auto table = host::As<host::ITable>(layer)) return table;
    // A standalone table that does not act as its own table hands one out.
    if (const auto standalone = host::As<host::IStandaloneTable>(layer)) {
        return host::Require<host::ITable>(standalone->Table(), "ITable");
    }
    return host::Require<host::ITable>(layer, "ITable");
}

}  // namespace

void OpenSourceCursor(const std::shared_ptr<host::IUnknown>& layer,
                      std::shared_ptr<host::ICursor>& cursor, std::int32_t& count,
                      bool& fromSelection) {
    if (!host::Supports<host::IFeatureLayer>(layer) &&
        !host::Supports<host::IStandaloneTable>(layer)) {
        return;
    }
    const std::shared_ptr<host::ISelectionSet> selection =
        host::Require<host::ISelectionSet>(SelectionOf(layer), "ISelectionSet");
    if (selection->Count() == 0) {
        const std::shared_ptr<host::ITable> table = TableOf(layer);
        cursor = table->Search(nullptr, false);
        count = table->RowCount(nullptr);
        fromSelection = false;
    } else {
        cursor.reset();
        cursor = selection->Search(nullptr, false);
        count = selection->Count();
        fromSelection = true;
    }
}

}  // namespace velorin::zoomflash
