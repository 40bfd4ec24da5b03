#include "platform/objects/symbols.h"

#include <qgscategorizedsymbolrenderer.h>
#include <qgsexpressioncontextutils.h>
#include <qgsfillsymbol.h>
#include <qgsfillsymbollayer.h>
#include <qgslinesymbol.h>
#include <qgslinesymbollayer.h>
#include <qgsmarkersymbol.h>
#include <qgsmarkersymbollayer.h>
#include <qgsrendercontext.h>
#include <qgssinglesymbolrenderer.h>

#include <QColor>
#include <optional>

#include "platform/objects/renderers.h"
#include "platform/qgis/qgis_objects.h"

// The host's simple symbols are the host-neutral objects; QGIS's own
// symbols are made from them when a renderer is installed and read into them
// when a renderer is read. Sizes are points on the host's side and are kept in
// points on QGIS's side, so a symbol read back is the symbol written.
namespace velorin::qgis {

namespace {

constexpr double kPointsPerMillimetre = 72.0 / 25.4;

double ToPoints(double size, QgsUnitTypes::RenderUnit unit) {
    switch (unit) {
        case QgsUnitTypes::RenderMillimeters:
            return size * kPointsPerMillimetre;
        case QgsUnitTypes::RenderPixels:
            return size * 72.0 / 96.0;
        case QgsUnitTypes::RenderInches:
            return size * 72.0;
        default:
            return size;
    }
}

// A symbol QGIS draws that is not one of the host's simple symbols (several
// layers, a picture, a pattern, ...): it answers ISymbol and nothing more, and
// keeps a copy of QGIS's symbol, so a renderer read and set again keeps it.
class OtherSymbol final : public host::ISymbol {
  public:
    OtherSymbol(std::shared_ptr<objects::HostContext> context, const QgsSymbol& symbol)
        : m_context(std::move(context)), m_symbol(symbol.clone()) {}

    std::unique_ptr<QgsSymbol> Copy() const {
        return std::unique_ptr<QgsSymbol>(m_symbol->clone());
    }

    std::int32_t ROP2() const override {
        objects::Announce(m_context, "ISymbol::ROP2");
        return m_rop2;
    }
    void SetROP2(std::int32_t rop2) override {
        objects::Announce(m_context, "ISymbol::ROP2");
        m_rop2 = rop2;
    }

  private:
    std::shared_ptr<objects::HostContext> m_context;
    std::unique_ptr<QgsSymbol> m_symbol;
    std::int32_t m_rop2 = host::esriROPCopyPen;
};

std::shared_ptr<objects::RgbColor> HostColor(const std::shared_ptr<objects::HostContext>& context,
                                             const QColor& color) {
    return objects::MakeRgbColor(context, color.red(), color.green(), color.blue());
}

QColor QgisColor(const std::shared_ptr<host::IColor>& color) {
    if (!color) return QColor(0, 0, 0);
    const std::int32_t bgr = color->RGB();
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

struct MarkerStyle {
    std::int32_t host;
    QgsSimpleMarkerSymbolLayerBase::Shape qgis;
};
constexpr MarkerStyle kMarkerStyles[] = {
    {host::esriSMSCircle, QgsSimpleMarkerSymbolLayerBase::Circle},
    {host::esriSMSSquare, QgsSimpleMarkerSymbolLayerBase::Square},
    {host::esriSMSCross, QgsSimpleMarkerSymbolLayerBase::Cross},
    {host::esriSMSX, QgsSimpleMarkerSymbolLayerBase::Cross2},
    {host::esriSMSDiamond, QgsSimpleMarkerSymbolLayerBase::Diamond},
};

struct LineStyle {
    std::int32_t host;
    Qt::PenStyle qgis;
};
constexpr LineStyle kLineStyles[] = {
    {host::esriSLSSolid, Qt::SolidLine},
    {host::esriSLSDash, Qt::DashLine},
    {host::esriSLSDot, Qt::DotLine},
    {host::esriSLSDashDot, Qt::DashDotLine},
    {host::esriSLSDashDotDot, Qt::DashDotDotLine},
    {host::esriSLSNull, Qt::NoPen},
    {host::esriSLSInsideFrame, Qt::SolidLine},
};

struct FillStyle {
    std::int32_t host;
    Qt::BrushStyle qgis;
};
constexpr FillStyle kFillStyles[] = {
    {host::esriSFSSolid, Qt::SolidPattern},
    {host::esriSFSHollow, Qt::NoBrush},
    {host::esriSFSHorizontal, Qt::HorPattern},
    {host::esriSFSVertical, Qt::VerPattern},
    {host::esriSFSForwardDiagonal, Qt::BDiagPattern},
    {host::esriSFSBackwardDiagonal, Qt::FDiagPattern},
    {host::esriSFSCross, Qt::CrossPattern},
    {host::esriSFSDiagonalCross, Qt::DiagCrossPattern},
};

template <class Table, class Q>
std::optional<std::int32_t> HostStyle(const Table& table, Q qgis) {
    for (const auto& row : table) {
        if (row.qgis == qgis) return row.host;
    }
    return std::nullopt;
}

template <class Table>
auto QgisStyle(const Table& table, std::int32_t host) {
    for (const auto& row : table) {
        if (row.host == host) return row.qgis;
    }
    return table[0].qgis;
}

std::shared_ptr<objects::SimpleLineSymbol> HostLine(
    const std::shared_ptr<objects::HostContext>& context, const QColor& color, double width,
    QgsUnitTypes::RenderUnit unit, Qt::PenStyle style) {
    const auto styleCode = HostStyle(kLineStyles, style);
    auto line = std::make_shared<objects::SimpleLineSymbol>(context);
    line->SetColor(HostColor(context, color));
    line->SetWidth(ToPoints(width, unit));
    line->SetStyle(styleCode.value_or(host::esriSLSSolid));
    return line;
}

}  // namespace

std::shared_ptr<host::ISymbol> ToHostSymbol(const std::shared_ptr<Session>& session,
                                            const QgsSymbol* symbol) {
    if (symbol == nullptr) return {};
    const auto& context = session->context;
    const objects::QuietHost quiet(context);
    if (symbol->symbolLayerCount() == 1) {
        const QgsSymbolLayer* layer = symbol->symbolLayer(0);
        // Every simple marker, line and fill of QGIS is a simple symbol here, in the
        // nearest style the host has (a triangle marker a circle, a dense brush a
        // solid fill): the tools read its colour, and QGIS keeps its own symbol.
        if (const auto* marker = dynamic_cast<const QgsSimpleMarkerSymbolLayer*>(layer)) {
            auto host = std::make_shared<objects::SimpleMarkerSymbol>(context);
            host->SetColor(HostColor(context, marker->color()));
            host->SetSize(ToPoints(marker->size(), marker->sizeUnit()));
            host->SetStyle(HostStyle(kMarkerStyles, marker->shape()).value_or(host::esriSMSCircle));
            return host;
        }
        if (const auto* line = dynamic_cast<const QgsSimpleLineSymbolLayer*>(layer)) {
            return HostLine(context, line->color(), line->width(), line->widthUnit(),
                            line->penStyle());
        }
        if (const auto* fill = dynamic_cast<const QgsSimpleFillSymbolLayer*>(layer)) {
            auto host = std::make_shared<objects::SimpleFillSymbol>(context);
            host->SetColor(HostColor(context, fill->color()));
            host->SetStyle(HostStyle(kFillStyles, fill->brushStyle()).value_or(host::esriSFSSolid));
            host->SetOutline(fill->strokeStyle() == Qt::NoPen
                                 ? nullptr
                                 : HostLine(context, fill->strokeColor(), fill->strokeWidth(),
                                            fill->strokeWidthUnit(), fill->strokeStyle()));
            return host;
        }
    }
    return std::make_shared<OtherSymbol>(context, *symbol);
}

std::unique_ptr<QgsSymbol> ToQgisSymbol(const std::shared_ptr<host::ISymbol>& symbol) {
    if (const auto marker = host::As<host::ISimpleMarkerSymbol>(symbol)) {
        auto layer = std::make_unique<QgsSimpleMarkerSymbolLayer>(
            QgisStyle(kMarkerStyles, marker->Style()), marker->Size());
        layer->setSizeUnit(QgsUnitTypes::RenderPoints);
        layer->setColor(QgisColor(marker->Color()));
        // The host's simple markers are one colour, edge included.
        layer->setStrokeColor(QgisColor(marker->Color()));
        return std::make_unique<QgsMarkerSymbol>(QgsSymbolLayerList{layer.release()});
    }
    if (const auto line = host::As<host::ISimpleLineSymbol>(symbol)) {
        auto layer = std::make_unique<QgsSimpleLineSymbolLayer>(
            QgisColor(line->Color()), line->Width(), QgisStyle(kLineStyles, line->Style()));
        layer->setWidthUnit(QgsUnitTypes::RenderPoints);
        return std::make_unique<QgsLineSymbol>(QgsSymbolLayerList{layer.release()});
    }
    if (const auto fill = host::As<host::ISimpleFillSymbol>(symbol)) {
        const auto outline = host::As<host::ISimpleLineSymbol>(fill->Outline());
        auto layer = std::make_unique<QgsSimpleFillSymbolLayer>(
            QgisColor(fill->Color()), QgisStyle(kFillStyles, fill->Style()),
            outline ? QgisColor(outline->Color()) : QColor(0, 0, 0),
            outline ? QgisStyle(kLineStyles, outline->Style()) : Qt::NoPen,
            outline ? outline->Width() : 0.0);
        layer->setStrokeWidthUnit(QgsUnitTypes::RenderPoints);
        return std::make_unique<QgsFillSymbol>(QgsSymbolLayerList{layer.release()});
    }
    if (const auto other = host::As<OtherSymbol>(symbol)) return other->Copy();
    throw Error(host::E_HOST_INVALIDARG,
                "QGIS can draw only simple marker, line and fill symbols of this host");
}

// ---- renderers ----------------------------------------------------------------------------

namespace {

// A renderer of another kind (graduated, rule-based, ...): asks QGIS for the
// symbol of each feature.
class OtherRenderer final : public host::IFeatureRenderer {
  public:
    OtherRenderer(std::shared_ptr<const LayerData> data,
                  std::unique_ptr<QgsFeatureRenderer> renderer)
        : m_data(std::move(data)), m_renderer(std::move(renderer)) {}

    std::shared_ptr<host::ISymbol> SymbolByFeature(
        const std::shared_ptr<host::IFeature>& feature) override {
        const auto& session = m_data->SessionRef();
        session->Enter("IFeatureRenderer::SymbolByFeature");
        if (!feature) throw Error(host::E_HOST_POINTER, "SymbolByFeature needs a feature");
        const QgsVectorLayer& layer = m_data->Layer();
        QgsFeature qgisFeature(layer.fields(), static_cast<QgsFeatureId>(feature->OID()));
        {
            const objects::QuietHost quiet(session->context);
            QgsFeature stored;
            if (layer.getFeatures(QgsFeatureRequest(qgisFeature.id())).nextFeature(stored)) {
                qgisFeature = stored;
            }
        }
        QgsRenderContext context;
        context.expressionContext().appendScopes(
            QgsExpressionContextUtils::globalProjectLayerScopes(&layer));
        m_renderer->startRender(context, layer.fields());
        context.expressionContext().setFeature(qgisFeature);
        QgsSymbol* symbol = m_renderer->symbolForFeature(qgisFeature, context);
        auto result = ToHostSymbol(session, symbol);
        m_renderer->stopRender(context);
        return result;
    }

  private:
    std::shared_ptr<const LayerData> m_data;
    std::unique_ptr<QgsFeatureRenderer> m_renderer;
};

// A category's value as the host's renderer writes it: numbers in the host's
// text form, so they match the text form of the features' values.
std::string ValueText(const QVariant& value) {
    switch (value.type()) {
        case QVariant::Int:
        case QVariant::LongLong:
            return host::ToText(static_cast<std::int64_t>(value.toLongLong()));
        case QVariant::Double:
            return host::ToText(value.toDouble());
        default:
            return FromQt(value.toString());
    }
}

// The QGIS category value for a host value text: typed like the key field, so
// QGIS's own legend sorts and edits it as a number where it is one.
QVariant CategoryValue(const std::string& text, bool isString) {
    const QString value = ToQt(text);
    if (isString) return value;
    bool ok = false;
    if (const qlonglong whole = value.toLongLong(&ok); ok) return whole;
    if (const double real = value.toDouble(&ok); ok) return real;
    return value;
}

// A categorized renderer on an expression ("NerroID" * 1): its categories are
// the values, and each feature's value is the expression evaluated on it, as
// QGIS draws it. Read as a field name, the expression would match nothing and
// every feature would take the default symbol.
class ExpressionCategories final : public objects::UniqueValueRenderer {
  public:
    ExpressionCategories(std::shared_ptr<const LayerData> data, const QString& expression)
        : objects::UniqueValueRenderer(data->SessionRef()->context),
          m_data(std::move(data)),
          m_expression(expression),
          m_context(QgsExpressionContextUtils::globalProjectLayerScopes(&m_data->Layer())) {
        m_expression.prepare(&m_context);
    }

    std::shared_ptr<host::ISymbol> SymbolByFeature(
        const std::shared_ptr<host::IFeature>& feature) override {
        const auto& session = m_data->SessionRef();
        session->Enter("IFeatureRenderer::SymbolByFeature");
        if (!feature) throw Error(host::E_HOST_POINTER, "SymbolByFeature needs a feature");
        const objects::QuietHost quiet(session->context);
        QgsFeature fetched;
        const QgsFeature* qgisFeature = QgisFeatureOf(*feature, m_expression.needsGeometry());
        if (qgisFeature == nullptr) {
            m_data->Layer()
                .getFeatures(QgsFeatureRequest(static_cast<QgsFeatureId>(feature->OID())))
                .nextFeature(fetched);
            qgisFeature = &fetched;
        }
        m_context.setFeature(*qgisFeature);
        const QVariant value = m_expression.evaluate(&m_context);
        if (m_expression.hasEvalError()) {
            throw Error(host::E_HOST_FAIL,
                        "The legend's expression " + FromQt(m_expression.expression()) +
                            " cannot be evaluated: " + FromQt(m_expression.evalErrorString()));
        }
        if (value.isNull()) return SymbolOfEntry(NoEntry);
        return SymbolOfEntry(FindEntry(ValueText(value)));
    }

  private:
    std::shared_ptr<const LayerData> m_data;
    QgsExpression m_expression;
    QgsExpressionContext m_context;
};

}  // namespace

std::shared_ptr<host::IFeatureRenderer> ToHostRenderer(const std::shared_ptr<const LayerData>& data,
                                                       const QgsFeatureRenderer* renderer) {
    if (renderer == nullptr) return {};
    const auto& session = data->SessionRef();
    const objects::QuietHost quiet(session->context);
    if (const auto* single = dynamic_cast<const QgsSingleSymbolRenderer*>(renderer)) {
        return std::make_shared<objects::SimpleRenderer>(session->context,
                                                         ToHostSymbol(session, single->symbol()));
    }
    if (const auto* categorized = dynamic_cast<const QgsCategorizedSymbolRenderer*>(renderer)) {
        const QString field = categorized->classAttribute();
        const QgsExpression attribute(field);
        // A field, plain or quoted, is keyed by its name; anything else is an
        // expression evaluated per feature.
        const int index = attribute.isField()
                              ? QgsExpression::expressionToLayerFieldIndex(field, &data->Layer())
                              : -1;
        auto unique = index >= 0 || attribute.isField()
                          ? std::make_shared<objects::UniqueValueRenderer>(session->context)
                          : std::make_shared<ExpressionCategories>(data, field);
        const QString keyName = index >= 0 ? data->Layer().fields().at(index).name() : field;
        unique->SetFieldCount(1);
        unique->SetField(0, FromQt(keyName));
        unique->SetFieldType(
            0, index >= 0 && data->Layer().fields().at(index).type() == QVariant::String);
        // QGIS draws what matches no category with the category of the empty
        // value: the host's "all other values".
        unique->SetUseDefaultSymbol(false);
        // One pass, each value looked up once: a legend may hold 100,000 values,
        // and Copy Legend reads the Source's legend at every run.
        const std::string heading = FromQt(keyName);
        for (const QgsRendererCategory& category : categorized->categories()) {
            if (!category.renderState()) continue;
            const QVariant value = category.value();
            auto symbol = ToHostSymbol(session, category.symbol());
            // A merged category's list has no text of its own, yet is no empty value.
            const bool list = value.type() == QVariant::List;
            if (value.isNull() ||
                (!list && !IsNumberType(value.type()) && value.toString().isEmpty())) {
                unique->SetDefaultSymbol(symbol);
                unique->SetDefaultLabel(FromQt(category.label()));
                unique->SetUseDefaultSymbol(true);
                continue;
            }
            const std::string label = FromQt(category.label());
            const QVariantList values = list ? value.toList() : QVariantList{value};
            for (const QVariant& one : values) {
                const std::string text = ValueText(one);
                if (text.empty() ||
                    unique->FindEntry(text) != objects::UniqueValueRenderer::NoEntry) {
                    continue;
                }
                unique->AddValue(text, heading, symbol);
                // A value's label starts as the value itself.
                if (label != text) unique->SetLabel(text, label);
            }
        }
        return unique;
    }
    return std::make_shared<OtherRenderer>(data,
                                           std::unique_ptr<QgsFeatureRenderer>(renderer->clone()));
}

std::unique_ptr<QgsFeatureRenderer> ToQgisRenderer(
    const std::shared_ptr<host::IFeatureRenderer>& renderer) {
    if (const auto unique = host::As<host::IUniqueValueRenderer>(renderer)) {
        if (unique->FieldCount() != 1) {
            throw Error(host::E_HOST_INVALIDARG,
                        "QGIS categorizes by one field; the renderer has " +
                            std::to_string(unique->FieldCount()));
        }
        const bool isString = unique->FieldType(0);
        // One pass over the values: the categories are made without symbols
        // (a category's copy clones its symbol, and the renderer copies the list),
        // and each symbol is handed to the renderer's category once.
        struct Entry {
            std::string value;
            std::string label;
            std::shared_ptr<host::ISymbol> symbol;
        };
        std::vector<Entry> entries;
        if (const auto* own = dynamic_cast<const objects::UniqueValueRenderer*>(unique.get())) {
            entries.reserve(own->EntryCount());
            for (std::size_t i = 0; i < own->EntryCount(); ++i) {
                const auto entry = own->EntryAt(i);
                entries.push_back(
                    {std::string(entry.value), std::string(entry.label), entry.symbol});
            }
        } else {
            for (std::int32_t i = 0; i < unique->ValueCount(); ++i) {
                std::string value = unique->Value(i);
                entries.push_back({value, unique->Label(value), unique->Symbol(value)});
            }
        }
        QgsCategoryList categories;
        categories.reserve(static_cast<int>(entries.size()) + 1);
        for (const Entry& entry : entries) {
            categories.append(QgsRendererCategory(CategoryValue(entry.value, isString), nullptr,
                                                  ToQt(entry.label)));
        }
        const bool withDefault = unique->UseDefaultSymbol() && unique->DefaultSymbol();
        if (withDefault) {
            categories.append(
                QgsRendererCategory(QString(), nullptr, ToQt(unique->DefaultLabel())));
        }
        auto categorized =
            std::make_unique<QgsCategorizedSymbolRenderer>(ToQt(unique->Field(0)), categories);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            categorized->updateCategorySymbol(static_cast<int>(i),
                                              ToQgisSymbol(entries[i].symbol).release());
        }
        if (withDefault) {
            categorized->updateCategorySymbol(static_cast<int>(entries.size()),
                                              ToQgisSymbol(unique->DefaultSymbol()).release());
        }
        return categorized;
    }
    if (const auto simple = host::As<host::ISimpleRenderer>(renderer)) {
        return std::make_unique<QgsSingleSymbolRenderer>(ToQgisSymbol(simple->Symbol()).release());
    }
    throw Error(host::E_HOST_INVALIDARG, "QGIS cannot draw with this kind of renderer");
}

}  // namespace velorin::qgis
