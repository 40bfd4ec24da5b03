#include <qgsexpressioncontextutils.h>
#include <qgsexpressionnodeimpl.h>
#include <qgsvectordataprovider.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/qgis/qgis_objects.h"

namespace velorin::qgis {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The numbers a where clause lets one column hold, widened so that every row
// QGIS lets through lies inside: QGIS's = takes numbers a few machine epsilons
// apart as equal, and 64-bit integers are keyed by their nearest double.
struct KeyRange {
    QString column;
    double low = -kInfinity;
    double high = kInfinity;
};

std::optional<double> NumberOf(const QgsExpressionNode* node) {
    if (const auto* literal = dynamic_cast<const QgsExpressionNodeLiteral*>(node)) {
        const QVariant value = literal->value();
        switch (value.type()) {
            case QVariant::Int:
            case QVariant::UInt:
            case QVariant::LongLong:
            case QVariant::ULongLong:
            case QVariant::Double:
                if (std::isfinite(value.toDouble())) return value.toDouble();
                return std::nullopt;
            default:
                return std::nullopt;
        }
    }
    const auto* unary = dynamic_cast<const QgsExpressionNodeUnaryOperator*>(node);
    if (unary != nullptr && unary->op() == QgsExpressionNodeUnaryOperator::uoMinus) {
        if (const auto number = NumberOf(unary->operand())) return -*number;
    }
    return std::nullopt;
}

using Operator = QgsExpressionNodeBinaryOperator::BinaryOperator;

// A comparison of a column with a number; the operator as if the column came first.
std::optional<KeyRange> ComparisonRange(const QgsExpressionNodeBinaryOperator& node) {
    Operator op = node.op();
    const auto* column = dynamic_cast<const QgsExpressionNodeColumnRef*>(node.opLeft());
    std::optional<double> number = NumberOf(node.opRight());
    if (column == nullptr) {
        column = dynamic_cast<const QgsExpressionNodeColumnRef*>(node.opRight());
        number = NumberOf(node.opLeft());
        if (op == QgsExpressionNodeBinaryOperator::boLT)
            op = QgsExpressionNodeBinaryOperator::boGT;
        else if (op == QgsExpressionNodeBinaryOperator::boGT)
            op = QgsExpressionNodeBinaryOperator::boLT;
        else if (op == QgsExpressionNodeBinaryOperator::boLE)
            op = QgsExpressionNodeBinaryOperator::boGE;
        else if (op == QgsExpressionNodeBinaryOperator::boGE)
            op = QgsExpressionNodeBinaryOperator::boLE;
    }
    if (column == nullptr || !number) return std::nullopt;
    const double slack = 1e-9 * std::max(1.0, std::abs(*number));
    KeyRange range{column->name()};
    switch (op) {
        case QgsExpressionNodeBinaryOperator::boEQ:
            range.low = *number - slack;
            range.high = *number + slack;
            return range;
        case QgsExpressionNodeBinaryOperator::boGE:
        case QgsExpressionNodeBinaryOperator::boGT:
            range.low = *number - slack;
            return range;
        case QgsExpressionNodeBinaryOperator::boLE:
        case QgsExpressionNodeBinaryOperator::boLT:
            range.high = *number + slack;
            return range;
        default:
            return std::nullopt;
    }
}

// The range of one column that the whole clause keeps its rows within: a
// comparison, or a conjunction of clauses of which one keeps them.
std::optional<KeyRange> RangeOf(const QgsExpressionNode* node) {
    const auto* binary = dynamic_cast<const QgsExpressionNodeBinaryOperator*>(node);
    if (binary == nullptr) return std::nullopt;
    if (binary->op() != QgsExpressionNodeBinaryOperator::boAnd) return ComparisonRange(*binary);
    std::optional<KeyRange> left = RangeOf(binary->opLeft());
    const std::optional<KeyRange> right = RangeOf(binary->opRight());
    if (!left) return right;
    if (right && right->column == left->column) {
        left->low = std::max(left->low, right->low);
        left->high = std::min(left->high, right->high);
    }
    return left;
}

}  // namespace

// ---- the indexes --------------------------------------------------------------------------

struct KeyIndexes::Index {
    Index() = default;
    Index(const Index&) = delete;
    Index& operator=(const Index&) = delete;
    ~Index() {
        for (const QMetaObject::Connection& connection : connections) {
            QObject::disconnect(connection);
        }
    }

    QPointer<QgsVectorLayer> layer;
    std::vector<QMetaObject::Connection> connections;
    int field = -1;
    long long count = 0;  // the layer's features when it was made
    std::shared_ptr<bool> fresh = std::make_shared<bool>(true);
    std::vector<std::pair<double, QgsFeatureId>> keys;  // in key order
};

KeyIndexes::KeyIndexes() = default;
KeyIndexes::~KeyIndexes() = default;

const KeyIndexes::Index& KeyIndexes::IndexOf(QgsVectorLayer& layer, int field) {
    const long long count = layer.featureCount();
    m_indexes.erase(std::remove_if(m_indexes.begin(), m_indexes.end(),
                                   [&](const std::unique_ptr<Index>& index) {
                                       return index->layer.isNull() || !*index->fresh ||
                                              (index->layer == &layer && index->count != count);
                                   }),
                    m_indexes.end());
    for (const auto& index : m_indexes) {
        if (index->layer == &layer && index->field == field) return *index;
    }
    auto index = std::make_unique<Index>();
    index->layer = &layer;
    index->field = field;
    index->count = count;
    // Any change QGIS tells of makes the index stale; a change of the feature
    // count made past the layer (straight to its provider) is seen by the count.
    const auto stale = [fresh = index->fresh] { *fresh = false; };
    auto& connections = index->connections;
    connections.push_back(QObject::connect(&layer, &QgsMapLayer::dataChanged, &layer, stale));
    connections.push_back(
        QObject::connect(&layer, &QgsVectorLayer::subsetStringChanged, &layer, stale));
    connections.push_back(QObject::connect(&layer, &QgsVectorLayer::updatedFields, &layer, stale));
    connections.push_back(
        QObject::connect(&layer, &QgsVectorLayer::afterCommitChanges, &layer, stale));
    connections.push_back(
        QObject::connect(&layer, &QgsVectorLayer::attributeValueChanged, &layer, stale));
    if (QgsVectorDataProvider* provider = layer.dataProvider()) {
        connections.push_back(
            QObject::connect(provider, &QgsDataProvider::dataChanged, &layer, stale));
    }
    QgsFeatureRequest request;
    request.setFlags(QgsFeatureRequest::NoGeometry);
    request.setSubsetOfAttributes(QgsAttributeList{field});
    QgsFeatureIterator features = layer.getFeatures(request);
    QgsFeature feature;
    while (features.nextFeature(feature)) {
        const QVariant value = feature.attribute(field);
        if (value.isNull()) continue;
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (ok) index->keys.emplace_back(number, feature.id());
    }
    std::sort(index->keys.begin(), index->keys.end());
    m_indexes.push_back(std::move(index));
    return *m_indexes.back();
}

std::optional<std::vector<QgsFeatureId>> KeyIndexes::Find(QgsVectorLayer& layer, int field,
                                                          double low, double high) {
    const Index& index = IndexOf(layer, field);
    const auto begin =
        std::lower_bound(index.keys.begin(), index.keys.end(),
                         std::make_pair(low, std::numeric_limits<QgsFeatureId>::min()));
    const auto end = std::upper_bound(
        begin, index.keys.end(), std::make_pair(high, std::numeric_limits<QgsFeatureId>::max()));
    // Past an eighth of the layer, reading it through is the quicker way.
    if (static_cast<std::size_t>(end - begin) > index.keys.size() / 8 + 64) return std::nullopt;
    std::vector<QgsFeatureId> ids;
    ids.reserve(static_cast<std::size_t>(end - begin));
    for (auto key = begin; key != end; ++key) ids.push_back(key->second);
    return ids;
}

std::optional<std::vector<QgsFeature>> IndexedSearch(const LayerData& data,
                                                     const std::string& whereClause) {
    QgsVectorLayer& layer = data.Layer();
    // A memory layer has no index of its own: QGIS asks every feature. Layers
    // whose subset string or edits decide their rows are read through.
    if (layer.providerType() != QLatin1String("memory") || !layer.subsetString().isEmpty() ||
        !data.RowsAsStored()) {
        return std::nullopt;
    }
    const std::unique_ptr<QgsExpression> expression = data.Expression(whereClause);
    if (!expression || expression->rootNode() == nullptr) return std::nullopt;
    const std::optional<KeyRange> range = RangeOf(expression->rootNode());
    if (!range || (range->low == -kInfinity && range->high == kInfinity)) return std::nullopt;
    const int field = layer.fields().lookupField(range->column);
    if (field < 0 || !IsNumberType(layer.fields().at(field).type())) return std::nullopt;
    const auto ids = data.SessionRef()->keys.Find(layer, field, range->low, range->high);
    if (!ids) return std::nullopt;
    std::vector<QgsFeature> found;
    if (ids->empty()) return found;
    QgsFeatureRequest request;
    request.setFilterFids(QgsFeatureIds(ids->begin(), ids->end()));
    QgsExpressionContext context(QgsExpressionContextUtils::globalProjectLayerScopes(&layer));
    QgsFeatureIterator features = layer.getFeatures(request);
    QgsFeature feature;
    while (features.nextFeature(feature)) {
        context.setFeature(feature);
        if (expression->evaluate(&context).toBool()) found.push_back(feature);
    }
    // In the order the layer's own scan gives them: a memory layer keeps its
    // features by id.
    std::sort(found.begin(), found.end(),
              [](const QgsFeature& a, const QgsFeature& b) { return a.id() < b.id(); });
    return found;
}

}  // namespace velorin::qgis
