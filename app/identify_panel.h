#pragma once

#include <QTreeWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/map.h"

namespace velorin::app {

// One feature found under the pointer: its layer, object id, its display
// field's value (the heading a person knows it by; empty when the layer has none
// or the value is empty) and every field's name and value as text, in the
// layer's field order.
struct IdentifiedFeature {
    std::string layer;
    std::int32_t oid = 0;
    std::vector<std::pair<std::string, std::string>> fields;
    std::string heading;
    std::weak_ptr<host::ILayer> from;
};

// The Identify panel: the features a click found, grouped by layer in the
// order given (top layer first), each feature with its fields beneath.
class IdentifyPanel final : public QTreeWidget {
  public:
    explicit IdentifyPanel(QWidget* parent = nullptr);

    // Shows these features in place of the last click's; none: says so. Each is
    // headed by its display field's value, else "Feature <oid>".
    void Show(std::vector<IdentifiedFeature> features);
    // Drops the features of a layer that left the map.
    void ForgetLayer(const std::shared_ptr<host::ILayer>& layer);
    // How many features are listed.
    std::size_t Count() const { return m_shown.size(); }
    // The value shown for a field of the index-th feature; empty when absent.
    QString ValueOf(int index, const QString& field) const;

  private:
    std::vector<IdentifiedFeature> m_shown;
};

}  // namespace velorin::app
