#pragma once

#include <QTreeWidget>
#include <cstdint>
#include <string>
#include <vector>

namespace velorin::app {

// One feature found under the pointer: its layer, object id and every field's
// name and value as text, in the layer's field order.
struct IdentifiedFeature {
    std::string layer;
    std::int32_t oid = 0;
    std::vector<std::pair<std::string, std::string>> fields;
};

// The Identify panel: the features a click found, grouped by layer in the
// order given (top layer first), each feature with its fields beneath.
class IdentifyPanel final : public QTreeWidget {
  public:
    explicit IdentifyPanel(QWidget* parent = nullptr);

    // Shows these features in place of the last click's; none: says so.
    void Show(const std::vector<IdentifiedFeature>& features);
    // The value shown for a field of the index-th feature; empty when absent.
    QString ValueOf(int index, const QString& field) const;
};

}  // namespace velorin::app
