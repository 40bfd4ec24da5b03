#include "platform/qgis/qgis_host.h"

#include <gtest/gtest.h>
#include <qgscategorizedsymbolrenderer.h>
#include <qgsdatasourceuri.h>
#include <qgsfillsymbol.h>
#include <qgsfillsymbollayer.h>
#include <qgslayertree.h>
#include <qgsmapcanvas.h>
#include <qgsmarkersymbol.h>
#include <qgsmarkersymbollayer.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>
#include <qgsvectorlayerexporter.h>

#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QUndoStack>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "copylegend/symbol_copy.h"
#include "host/host.h"
#include "platform/qgis/qgis_objects.h"
#include "platform/qt/qt_toolkit.h"
#include "ui/current_toolkit.h"
#include "zoomflash/flash_geometry.h"

namespace velorin::qgis {
namespace {

struct Row {
    int key;
    QString name;
    QString wkt;
};

class QgisHostTest : public testing::Test {
  protected:
    void SetUp() override {
        m_canvas.setAttribute(Qt::WA_DontShowOnScreen);
        m_canvas.resize(400, 300);
        m_canvas.show();
        m_canvas.setDestinationCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:3857")));
        QgisHostSetup setup;
        setup.project = &m_project;
        setup.canvas = &m_canvas;
        setup.legendChanged = [this](QgsMapLayer&) { ++m_legendRefreshes; };
        m_application = MakeApplication(std::move(setup), m_context);
    }

    // A memory layer of the rows (key integer, name text), added to the project
    // at the top of the tree or into the group.
    QgsVectorLayer* AddLayer(const QString& name, const QString& kind, const std::vector<Row>& rows,
                             const QString& crs = QStringLiteral("EPSG:3857"),
                             QgsLayerTreeGroup* group = nullptr) {
        auto* layer = new QgsVectorLayer(
            kind + QStringLiteral("?crs=%1&field=key:integer&field=name:string").arg(crs), name,
            QStringLiteral("memory"));
        QgsFeatureList features;
        for (const Row& row : rows) {
            QgsFeature feature(layer->fields());
            feature.setAttributes(QgsAttributes(QVector<QVariant>{row.key, row.name}));
            feature.setGeometry(QgsGeometry::fromWkt(row.wkt));
            features << feature;
        }
        layer->dataProvider()->addFeatures(features);
        layer->updateExtents();
        m_project.addMapLayer(layer, group == nullptr);
        if (group != nullptr) group->addLayer(layer);
        return layer;
    }

    std::shared_ptr<host::IMap> Map() const {
        return host::As<host::IMxDocument>(m_application->Document())->FocusMap();
    }
    std::shared_ptr<host::IFeatureLayer> Layer(std::int32_t index) const {
        return host::As<host::IFeatureLayer>(Map()->Layer(index));
    }
    host::IObjectFactory& Factory() const { return *m_application->ObjectFactory(); }
    std::shared_ptr<host::IQueryFilter> Where(const std::string& clause) const {
        auto filter = Factory().NewQueryFilter();
        filter->SetWhereClause(clause);
        return filter;
    }
    static std::vector<std::int32_t> Oids(const std::shared_ptr<host::ICursor>& cursor) {
        std::vector<std::int32_t> oids;
        while (const auto row = cursor->NextRow()) oids.push_back(row->OID());
        return oids;
    }
    QImage Screen() {
        m_canvas.waitWhileRendering();
        return m_canvas.viewport()->grab().toImage();
    }
    void Draw() {
        m_canvas.refresh();
        m_canvas.waitWhileRendering();
        Screen();
    }

    QgsProject m_project;
    QgsMapCanvas m_canvas;
    std::shared_ptr<objects::HostContext> m_context = std::make_shared<objects::HostContext>();
    std::shared_ptr<host::IApplication> m_application;
    int m_legendRefreshes = 0;
};

const std::vector<Row> kFourPoints = {{1, "Ash", "Point (100 100)"},
                                      {2, "O'Brien", "Point (200 200)"},
                                      {3, "Birch", "Point (300 300)"},
                                      {4, "Cedar", "Point (400 400)"}};

TEST_F(QgisHostTest, SelectionCountsAndVisitsOnlyWhatTheSubsetStringLetsThrough) {
    QgsVectorLayer* layer = AddLayer("pts", "Point", kFourPoints);
    // QGIS drops the selection when the subset string changes: select after.
    ASSERT_TRUE(layer->setSubsetString(QStringLiteral("key <> 2")));
    layer->selectByIds(QgsFeatureIds{1, 2, 3});

    const auto selection = host::As<host::IFeatureSelection>(Layer(0))->SelectionSet();
    EXPECT_EQ(selection->Count(), 2);
    EXPECT_EQ(Oids(selection->Search(nullptr, false)), (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(Oids(selection->Search(Where("name = 'Birch'"), false)),
              (std::vector<std::int32_t>{3}));
    EXPECT_EQ(host::As<host::IFeatureLayerDefinition>(Layer(0))->DefinitionExpression(),
              "key <> 2");
}

TEST_F(QgisHostTest, WhereClausesFindByTextAndNumberWithQuotedTextsAndFieldNames) {
    AddLayer("pts", "Point", kFourPoints);
    struct Case {
        std::string clause;
        std::vector<std::int32_t> oids;
    };
    const std::vector<Case> cases = {{"name = 'O''Brien'", {2}},
                                     {"\"name\" = 'O''Brien'", {2}},
                                     {"key = 3", {3}},
                                     {"\"key\" = 3", {3}},
                                     {"KEY = 4", {4}},
                                     {"name = 'x'' OR ''a''=''a'", {}},
                                     {"key = 1 OR key = 4", {1, 4}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clause);
        std::vector<std::int32_t> found;
        const auto cursor = Layer(0)->Search(Where(c.clause), false);
        while (const auto feature = cursor->NextFeature()) found.push_back(feature->OID());
        EXPECT_EQ(found, c.oids);
        EXPECT_EQ(host::As<host::ITable>(Layer(0))->RowCount(Where(c.clause)),
                  static_cast<std::int32_t>(c.oids.size()));
    }
    for (const std::string bad : {"name = ", "nosuchfield = 1"}) {
        try {
            Layer(0)->Search(Where(bad), false);
            ADD_FAILURE() << bad << " was accepted";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), host::E_HOST_INVALID_SQL);
            EXPECT_NE(error.Description().find(bad), std::string::npos) << error.Description();
        }
    }
}

TEST_F(QgisHostTest, TheMapListsEveryLayerOfTheProjectInPanelOrderGroupedOrNot) {
    QgsLayerTreeGroup* group = m_project.layerTreeRoot()->addGroup(QStringLiteral("Hydro"));
    AddLayer("inner", "Point", kFourPoints, QStringLiteral("EPSG:3857"), group);
    AddLayer("top", "Point", kFourPoints);
    m_project.addMapLayer(new QgsVectorLayer(QStringLiteral("None?field=a:integer"),
                                             QStringLiteral("table"), QStringLiteral("memory")));

    // QGIS puts a new layer at the top of the tree; the group only arranges the
    // panel, so its layer is the map's as any other.
    const auto map = Map();
    ASSERT_EQ(map->LayerCount(), 2);
    EXPECT_EQ(map->Layer(0)->Name(), "top");
    EXPECT_EQ(map->Layer(1)->Name(), "inner");
    EXPECT_TRUE(host::Supports<host::IFeatureLayer>(map->Layer(1)));
    const auto tables = host::As<host::IStandaloneTableCollection>(map);
    ASSERT_EQ(tables->StandaloneTableCount(), 1);
    EXPECT_EQ(tables->StandaloneTable(0)->Name(), "table");

    const auto fields = Layer(0)->FeatureClass()->Fields();
    ASSERT_EQ(fields->FieldCount(), 4);
    EXPECT_EQ(fields->Field(0)->Type(), host::esriFieldTypeOID);
    EXPECT_EQ(fields->Field(1)->Type(), host::esriFieldTypeGeometry);
    EXPECT_EQ(fields->Field(2)->Type(), host::esriFieldTypeInteger);
    EXPECT_EQ(fields->Field(3)->Type(), host::esriFieldTypeString);
    EXPECT_EQ(fields->FindField("NAME"), 3);
}

TEST_F(QgisHostTest, AFeatureInAnotherCrsIsZoomedToWhereTheMapDrawsIt) {
    // 10 E, 50 N is about (1113195, 6446276) in web mercator.
    AddLayer("geo", "Point", {{1, "A", "Point (10 50)"}}, QStringLiteral("EPSG:4326"));
    const auto shape = Layer(0)->Search(nullptr, false)->NextFeature()->Shape();
    const auto point = host::As<host::IPoint>(shape);
    ASSERT_TRUE(point);
    EXPECT_NEAR(point->X(), 1113194.9, 1.0);
    EXPECT_NEAR(point->Y(), 6446275.8, 1.0);

    auto extent = shape->Envelope();
    extent->Expand(1000, 1000, false);
    const auto view = host::As<host::IActiveView>(Map());
    view->SetExtent(extent);
    const auto shown = view->Extent();
    EXPECT_LT(shown->XMin(), point->X());
    EXPECT_GT(shown->XMax(), point->X());
    EXPECT_LT(shown->YMin(), point->Y());
    EXPECT_GT(shown->YMax(), point->Y());
    EXPECT_LT(shown->Width(), 5000);
}

TEST_F(QgisHostTest, AFlashInvertsTheShapeAndLeavesEveryPixelAsItWas) {
    AddLayer("areas", "Polygon", {{1, "A", "Polygon ((0 0, 100 0, 100 100, 0 100, 0 0))"}});
    m_canvas.setLayers(m_project.mapLayers().values());
    m_canvas.setExtent(QgsRectangle(-50, -50, 150, 150));
    Draw();
    const QImage before = Screen();

    const auto shape = Layer(0)->Search(nullptr, false)->NextFeature()->Shape();
    const auto display = host::As<host::IActiveView>(Map())->ScreenDisplay();
    auto fill = Factory().NewSimpleFillSymbol();
    auto color = Factory().NewRgbColor();
    color->SetBlue(175);
    fill->SetColor(color);
    const auto symbol = host::As<host::ISymbol>(fill);
    symbol->SetROP2(host::esriROPNotXOrPen);
    display->StartDrawing(0, host::esriNoScreenCache);
    display->SetSymbol(symbol);
    display->DrawPolygon(shape);
    const QImage flashed = m_canvas.viewport()->grab().toImage();
    display->DrawPolygon(shape);
    const QImage drawnTwice = m_canvas.viewport()->grab().toImage();
    display->FinishDrawing();
    EXPECT_NE(flashed, before);
    const QPoint centre =
        m_canvas.mapSettings().mapToPixel().transform(50, 50).toQPointF().toPoint();
    const QRgb under = before.pixel(centre) & 0xFFFFFFu;
    EXPECT_EQ(flashed.pixel(centre) & 0xFFFFFFu, ~(under ^ 0x0000AFu) & 0xFFFFFFu)
        << "not the not-XOR of the flash colour and the map";
    EXPECT_EQ(drawnTwice, before);
    EXPECT_EQ(m_canvas.viewport()->grab().toImage(), before);

    // The extension's own flash, through the toolkit's sleep.
    qt::QtToolkit toolkit;
    const ui::ToolkitScope scope(toolkit);
    zoomflash::FlashGeometry(shape, Map(), 0, Factory());
    EXPECT_EQ(Screen(), before);
}

TEST_F(QgisHostTest, ACategorizedRendererIsReadAsUniqueValuesAndWrittenBack) {
    QgsVectorLayer* source = AddLayer("areas", "Polygon",
                                      {{1, "A", "Polygon ((0 0, 1 0, 1 1, 0 0))"},
                                       {2, "B", "Polygon ((2 0, 3 0, 3 1, 2 0))"},
                                       {7, "C", "Polygon ((4 0, 5 0, 5 1, 4 0))"},
                                       {9, "D", "Polygon ((6 0, 7 0, 7 1, 6 0))"}});
    const auto fillOf = [](const QColor& color) {
        return new QgsFillSymbol(QgsSymbolLayerList{new QgsSimpleFillSymbolLayer(color)});
    };
    auto* twoLayers = fillOf(Qt::green);
    twoLayers->appendSymbolLayer(new QgsSimpleFillSymbolLayer(Qt::black));
    source->setRenderer(new QgsCategorizedSymbolRenderer(
        QStringLiteral("key"),
        {QgsRendererCategory(1, fillOf(QColor(255, 0, 0)), QStringLiteral("one")),
         QgsRendererCategory(2, twoLayers, QStringLiteral("two")),
         // Merged in QGIS's Symbology panel: one category of several values.
         QgsRendererCategory(QVariantList{5, 9}, fillOf(QColor(0, 0, 255)),
                             QStringLiteral("merged")),
         QgsRendererCategory(QString(), fillOf(QColor(90, 90, 90)), QStringLiteral("others"))}));
    AddLayer("copy", "Polygon", {{1, "A", "Polygon ((0 0, 1 0, 1 1, 0 0))"}});

    const auto geo = host::As<host::IGeoFeatureLayer>(Layer(1));
    const auto unique = host::As<host::IUniqueValueRenderer>(geo->Renderer());
    ASSERT_TRUE(unique);
    EXPECT_EQ(unique->Field(0), "key");
    EXPECT_FALSE(unique->FieldType(0));
    ASSERT_EQ(unique->ValueCount(), 4);
    EXPECT_EQ(unique->Value(0), "1");
    EXPECT_EQ(unique->Label("1"), "one");
    EXPECT_EQ(unique->Heading("1"), "key");
    EXPECT_TRUE(unique->UseDefaultSymbol());
    EXPECT_EQ(unique->DefaultLabel(), "others");

    // The feature drawn by category: red for 1, the other values' grey for 7, and
    // the two-layer symbol of 2 is no simple symbol.
    std::vector<std::shared_ptr<host::IFeature>> features;
    const auto cursor = Layer(1)->Search(nullptr, false);
    while (auto feature = cursor->NextFeature()) features.push_back(feature);
    ASSERT_EQ(features.size(), 4u);
    EXPECT_EQ(copylegend::GetSimpleSymbolColor(geo->Renderer(), features[0])->RGB(), 0x0000FF);
    EXPECT_EQ(copylegend::GetSimpleSymbolColor(geo->Renderer(), features[2])->RGB(), 0x5A5A5A);
    EXPECT_EQ(copylegend::GetSimpleSymbolColor(geo->Renderer(), features[3])->RGB(), 0xFF0000);
    try {
        copylegend::GetSimpleSymbolColor(geo->Renderer(), features[1]);
        ADD_FAILURE() << "a two-layer symbol passed as a simple one";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), copylegend::kErrSymbolNotSimple);
    }

    // Written back on another layer: the same categories, the default last as
    // QGIS's category of all other values, and the Layers panel told.
    const auto target = host::As<host::IGeoFeatureLayer>(Layer(0));
    target->SetRenderer(geo->Renderer());
    EXPECT_EQ(m_legendRefreshes, 1);
    const auto* copy = qobject_cast<QgsVectorLayer*>(m_project.mapLayersByName("copy").front());
    const auto* written = dynamic_cast<const QgsCategorizedSymbolRenderer*>(copy->renderer());
    ASSERT_NE(written, nullptr);
    ASSERT_EQ(written->categories().size(), 5);
    EXPECT_EQ(written->categories()[0].value().toString(), "1");
    EXPECT_EQ(written->categories()[0].symbol()->color(), QColor(255, 0, 0));
    EXPECT_TRUE(written->categories()[4].value().toString().isEmpty());
    EXPECT_EQ(written->categories()[4].label(), "others");
    const auto readBack = host::As<host::IUniqueValueRenderer>(target->Renderer());
    ASSERT_TRUE(readBack);
    EXPECT_EQ(host::As<host::ISimpleFillSymbol>(readBack->Symbol("1"))->Color()->RGB(), 0x0000FF);
}

// One row as a test compares it: object id, every value's text, and the shape's
// type and envelope in map coordinates.
std::string RowText(const host::IFeature& feature) {
    std::string text = std::to_string(feature.OID());
    const std::int32_t count = feature.Fields()->FieldCount();
    for (std::int32_t i = 0; i < count; ++i) text += "|" + host::ToText(feature.Value(i));
    if (const auto shape = feature.Shape()) {
        const auto box = shape->Envelope();
        text += "|" + std::to_string(shape->GeometryType()) + ":" + std::to_string(box->XMin()) +
                "," + std::to_string(box->YMin()) + "," + std::to_string(box->XMax()) + "," +
                std::to_string(box->YMax());
    }
    return text;
}

// The walk over a whole layer (no geometry read until a shape is asked for, the
// provider read directly where its rows are the layer's, features refilled once
// let go) against its plain twin: the layer's own iterator, shapes with the rows,
// a feature each. Held features keep what they were given.
TEST_F(QgisHostTest, AWholeLayerWalkGivesWhatThePlainCursorGives) {
    struct Case {
        const char* name;
        std::function<void(QgsVectorLayer&)> prepare;
    };
    const std::vector<Case> cases = {
        {"as stored", [](QgsVectorLayer&) {}},
        {"subset string", [](QgsVectorLayer& l) { l.setSubsetString(QStringLiteral("key <> 2")); }},
        {"being edited",
         [](QgsVectorLayer& l) {
             l.startEditing();
             l.changeAttributeValue(1, 0, 20);
             QgsGeometry moved = QgsGeometry::fromWkt(QStringLiteral("Point (5 6)"));
             l.changeGeometry(3, moved);
             l.deleteFeature(4);
         }},
        {"computed field",
         [](QgsVectorLayer& l) {
             l.addExpressionField(QStringLiteral("\"key\" * 2"),
                                  QgsField(QStringLiteral("twice"), QVariant::Int));
         }},
    };
    auto session = std::make_shared<Session>();
    session->context = m_context;
    session->project = &m_project;
    session->canvas = &m_canvas;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // In another CRS, so each shape is put in map coordinates.
        QgsVectorLayer* layer = AddLayer(c.name, "Point", kFourPoints, "EPSG:3395");
        c.prepare(*layer);
        const auto data = std::make_shared<LayerData>(session, *layer);
        std::vector<std::string> plain;
        FeatureCursor twin(data, layer->getFeatures(QgsFeatureRequest()));
        while (const auto feature = twin.NextFeature()) plain.push_back(RowText(*feature));
        ASSERT_FALSE(plain.empty());

        std::vector<std::string> letGo;
        const auto walk = FeatureCursor::Open(data, "");
        while (const auto feature = walk->NextFeature()) letGo.push_back(RowText(*feature));
        EXPECT_EQ(letGo, plain);

        std::vector<std::shared_ptr<host::IFeature>> held;
        const auto again = FeatureCursor::Open(data, "");
        while (auto feature = again->NextFeature()) held.push_back(std::move(feature));
        std::vector<std::string> heldRows;
        for (const auto& feature : held) heldRows.push_back(RowText(*feature));
        EXPECT_EQ(heldRows, plain);
    }
}

// A legend finds the value of one of the adapter's features from its QGIS
// attribute, whole numbers remembered by number; its plain twin reads the
// feature's value and looks up its text. Both give each feature the same symbol,
// also after the legend gains a value.
TEST_F(QgisHostTest, LegendsMatchTheAdapterFeaturesAsReadingTheirKeysDoes) {
    struct Case {
        const char* type;
        std::vector<QVariant> keys;
        std::vector<std::string> values;
    };
    const QVariant null;
    // Every layer holds a 7, which the legend gains later.
    const std::vector<Case> cases = {
        {"integer", {1, -5, 70000, null, 7, 1}, {"1", "-5", "70000", "2"}},
        {"int8",
         {QVariant(qlonglong{9007199254740993}), QVariant(qlonglong{-1}), QVariant(qlonglong{7})},
         {"9007199254740993", "-1"}},
        {"string",
         {QStringLiteral("x"), QStringLiteral("7"), null, QStringLiteral("")},
         {"x", "1"}},
        {"double", {2.5, 7.0, null, -0.0}, {"2.5", "3", "0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        auto* layer = new QgsVectorLayer(
            QStringLiteral("Point?crs=EPSG:3857&field=key:%1").arg(QLatin1String(c.type)),
            QStringLiteral("keys"), QStringLiteral("memory"));
        QgsFeatureList features;
        for (const QVariant& key : c.keys) {
            QgsFeature feature(layer->fields());
            feature.setAttributes(QgsAttributes(QVector<QVariant>{key}));
            feature.setGeometry(QgsGeometry::fromPointXY(QgsPointXY(1, 1)));
            features << feature;
        }
        layer->dataProvider()->addFeatures(features);
        m_project.removeAllMapLayers();
        m_project.addMapLayer(layer);

        auto renderer = Factory().NewUniqueValueRenderer();
        renderer->SetFieldCount(1);
        renderer->SetField(0, "KEY");
        renderer->SetDefaultSymbol(host::As<host::ISymbol>(Factory().NewSimpleFillSymbol()));
        for (const std::string& value : c.values) {
            renderer->AddValue(value, "key",
                               host::As<host::ISymbol>(Factory().NewSimpleFillSymbol()));
        }
        // One walk's features, so the renderer sees the same layer throughout.
        std::vector<std::shared_ptr<host::IFeature>> walked;
        const auto cursor = Layer(0)->Search(nullptr, false);
        while (auto feature = cursor->NextFeature()) walked.push_back(std::move(feature));
        const auto symbols = [&] {
            std::vector<std::shared_ptr<host::ISymbol>> found;
            for (const auto& feature : walked) {
                found.push_back(
                    host::As<host::IFeatureRenderer>(renderer)->SymbolByFeature(feature));
            }
            return found;
        };
        const auto compare = [&] {
            const auto matched = symbols();
            const objects::EntryOfFeature hook = std::exchange(m_context->entryOfFeature, nullptr);
            EXPECT_EQ(matched, symbols());
            m_context->entryOfFeature = hook;
        };
        ASSERT_TRUE(m_context->entryOfFeature);
        compare();
        renderer->AddValue("7", "key", host::As<host::ISymbol>(Factory().NewSimpleFillSymbol()));
        compare();
    }
}

// A search of a memory layer through the session's key index against its plain
// twin, QGIS testing the clause on every feature: the same features in the same
// order, before and after the layer changes (through QGIS, and past it).
TEST_F(QgisHostTest, AnIndexedSearchFindsWhatTheLayerItselfFinds) {
    auto* layer =
        new QgsVectorLayer(QStringLiteral("Point?crs=EPSG:3857&field=key:int8&field=val:double"),
                           QStringLiteral("keys"), QStringLiteral("memory"));
    const QVariant null;
    const std::vector<std::pair<QVariant, QVariant>> rows = {{qlonglong{3}, 0.3},
                                                             {qlonglong{-5}, 2.5},
                                                             {null, 0.30000000000000004},
                                                             {qlonglong{3}, null},
                                                             {qlonglong{70001}, -1.0},
                                                             {qlonglong{9007199254740993}, 1e-20},
                                                             {qlonglong{9007199254740992}, 3.0}};
    QgsFeatureList features;
    for (int i = 0; i < 40; ++i) {
        const auto& row = rows[static_cast<std::size_t>(i) % rows.size()];
        QgsFeature feature(layer->fields());
        feature.setAttributes(QgsAttributes(QVector<QVariant>{row.first, row.second}));
        feature.setGeometry(QgsGeometry::fromPointXY(QgsPointXY(i, i)));
        features << feature;
    }
    layer->dataProvider()->addFeatures(features);
    m_project.addMapLayer(layer);
    auto session = std::make_shared<Session>();
    session->context = m_context;
    session->project = &m_project;
    session->canvas = &m_canvas;
    const auto data = std::make_shared<LayerData>(session, *layer);
    struct Case {
        std::string clause;
        bool indexed;
    };
    const std::vector<Case> cases = {{"key = 3", true},
                                     {"key = -5", true},
                                     {"3 = key", true},
                                     {"key >= -5 AND key <= 3", true},
                                     {"key > 70000", true},
                                     {"key < -4 AND val > 0", true},
                                     {"key = 9007199254740993", true},
                                     {"val = 0.3", true},
                                     {"val = 0.30000000000000004", true},
                                     {"val = 0", true},
                                     {"key = 3.0000000000000004", true},
                                     {"key = 3 OR key = 70001", false},
                                     {"key >= -100", true},
                                     {"val > 0.25 AND val < 1", true}};
    const auto oids = [](const std::shared_ptr<host::IFeatureCursor>& cursor) {
        std::vector<std::int32_t> found;
        while (const auto feature = cursor->NextFeature()) found.push_back(feature->OID());
        return found;
    };
    const auto compare = [&](const char* when) {
        SCOPED_TRACE(when);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.clause);
            EXPECT_EQ(IndexedSearch(*data, c.clause).has_value(), c.indexed);
            const auto plain =
                std::make_shared<FeatureCursor>(data, layer->getFeatures(data->Request(c.clause)));
            EXPECT_EQ(oids(FeatureCursor::Open(data, c.clause)), oids(plain));
        }
    };
    compare("as made");
    QgsFeature added(layer->fields());
    added.setAttributes(QgsAttributes(QVector<QVariant>{qlonglong{3}, 0.3}));
    QgsFeatureList more{added};
    layer->dataProvider()->addFeatures(more);
    compare("a feature added past the layer");
    layer->startEditing();
    layer->changeAttributeValue(2, 0, qlonglong{-5});
    layer->commitChanges();
    compare("a key changed through the layer");
}

// One table of hostile key texts and field names, on each provider a QGIS user
// keys layers with: the where clause must find exactly its feature on all.
// PostGIS runs when VELORIN_TEST_POSTGRES names a database (postgis_e2e.sh does).
class HostileKeys : public QgisHostTest, public testing::WithParamInterface<const char*> {
  protected:
    static const std::vector<QString>& Keys() {
        static const std::vector<QString> keys = {
            QStringLiteral("C:\\temp\\x"), QStringLiteral("it's"), QStringLiteral("\\'"),
            QString::fromUtf8("Zürich ☂"), QStringLiteral("a\"b"), QStringLiteral("OR 1=1")};
        return keys;
    }

    // The hostile layer on the provider of the test's parameter.
    QgsVectorLayer* HostileLayer() {
        QgsVectorLayer memory(
            QStringLiteral("Point?crs=EPSG:3857&field=key:string&field=and:integer"
                           "&field=Name%20With%20Space:string"),
            QStringLiteral("hostile"), QStringLiteral("memory"));
        QgsFeatureList features;
        for (int i = 0; i < static_cast<int>(Keys().size()); ++i) {
            QgsFeature feature(memory.fields());
            feature.setAttributes(QgsAttributes(QVector<QVariant>{Keys()[i], i, Keys()[i]}));
            feature.setGeometry(QgsGeometry::fromPointXY(QgsPointXY(10 + i, 10 + i)));
            features << feature;
        }
        memory.dataProvider()->addFeatures(features);
        const QString provider = QString::fromLatin1(GetParam());
        if (provider == QLatin1String("memory")) {
            auto* layer = memory.clone();
            m_project.addMapLayer(layer);
            return layer;
        }
        QString uri;
        if (provider == QLatin1String("ogr")) {
            uri = m_folder.filePath(QStringLiteral("hostile.gpkg"));
        } else {
            QgsDataSourceUri database(QString::fromLocal8Bit(qgetenv("VELORIN_TEST_POSTGRES")));
            database.setDataSource(QStringLiteral("public"), QStringLiteral("hostile"),
                                   QStringLiteral("geom"), QString(), QStringLiteral("fid"));
            uri = database.uri(false);
        }
        QMap<QString, QVariant> options{{QStringLiteral("overwrite"), true}};
        const Qgis::VectorExportResult exported = QgsVectorLayerExporter::exportLayer(
            &memory, uri, provider, memory.crs(), false, nullptr, options);
        if (exported != Qgis::VectorExportResult::Success) return nullptr;
        if (provider == QLatin1String("ogr")) uri += QStringLiteral("|layername=hostile");
        auto* layer = new QgsVectorLayer(uri, QStringLiteral("hostile"), provider);
        m_project.addMapLayer(layer);
        return layer->isValid() ? layer : nullptr;
    }

    QTemporaryDir m_folder;
};

TEST_P(HostileKeys, FindExactlyTheirFeatureByTextAndFieldName) {
    if (std::string(GetParam()) == "postgres" &&
        qEnvironmentVariableIsEmpty("VELORIN_TEST_POSTGRES")) {
        GTEST_SKIP() << "no database named in VELORIN_TEST_POSTGRES";
    }
    ASSERT_NE(HostileLayer(), nullptr);
    const auto quote = [](const QString& text) {
        std::string quoted = "'";
        for (const char c : text.toStdString()) {
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        }
        return quoted + "'";
    };
    for (int i = 0; i < static_cast<int>(Keys().size()); ++i) {
        SCOPED_TRACE(Keys()[i].toStdString());
        for (const std::string& clause :
             {"key = " + quote(Keys()[i]), "\"Name With Space\" = " + quote(Keys()[i]),
              "\"and\" = " + std::to_string(i)}) {
            std::vector<std::string> found;
            const auto cursor = Layer(0)->Search(Where(clause), false);
            while (const auto feature = cursor->NextFeature()) {
                const std::int32_t key = feature->Fields()->FindField("key");
                found.push_back(std::get<std::string>(feature->Value(key).Get()));
            }
            EXPECT_EQ(found, std::vector<std::string>{Keys()[i].toStdString()}) << clause;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Providers, HostileKeys, testing::Values("memory", "ogr", "postgres"));

TEST_F(QgisHostTest, ALegendOnAnExpressionGivesTheColoursQgisDraws) {
    QgsVectorLayer* source = AddLayer("pts", "Point", kFourPoints);
    const auto markerOf = [](const QColor& color, QgsSimpleMarkerSymbolLayerBase::Shape shape) {
        auto* layer = new QgsSimpleMarkerSymbolLayer(shape);
        layer->setColor(color);
        return new QgsMarkerSymbol(QgsSymbolLayerList{layer});
    };
    // Categories on "key" * 10; a triangle is a simple marker like any other.
    source->setRenderer(new QgsCategorizedSymbolRenderer(
        QStringLiteral("\"key\" * 10"),
        {QgsRendererCategory(10,
                             markerOf(QColor(255, 0, 0), QgsSimpleMarkerSymbolLayerBase::Triangle),
                             QStringLiteral("ten")),
         QgsRendererCategory(20, markerOf(QColor(0, 0, 255), QgsSimpleMarkerSymbolLayerBase::Star),
                             QStringLiteral("twenty"))}));
    const auto geo = host::As<host::IGeoFeatureLayer>(Layer(0));
    const auto cursor = Layer(0)->Search(nullptr, false);
    const auto first = cursor->NextFeature();
    const auto second = cursor->NextFeature();
    EXPECT_EQ(copylegend::GetSimpleSymbolColor(geo->Renderer(), first)->RGB(), 0x0000FF);
    EXPECT_EQ(copylegend::GetSimpleSymbolColor(geo->Renderer(), second)->RGB(), 0xFF0000);
}

TEST_F(QgisHostTest, ANewRendererIsOneUndoStepMarksTheProjectAndKeepsTheDisplayExpression) {
    QgsVectorLayer* layer = AddLayer("pts", "Point", kFourPoints);
    layer->setDisplayExpression(QStringLiteral("\"name\" || ' (' || \"key\" || ')'"));
    const QgsFeatureRenderer* old = layer->renderer();
    const QString oldType = old->type();
    m_project.setDirty(false);

    const auto geo = host::As<host::IGeoFeatureLayer>(Layer(0));
    auto renderer = Factory().NewUniqueValueRenderer();
    renderer->SetFieldCount(1);
    renderer->SetField(0, "key");
    auto marker = Factory().NewSimpleMarkerSymbol();
    renderer->AddValue("1", "key", host::As<host::ISymbol>(marker));
    geo->SetRenderer(host::As<host::IFeatureRenderer>(renderer));
    host::As<host::IFeatureLayer>(Layer(0))->SetDisplayField("key");

    EXPECT_TRUE(m_project.isDirty());
    EXPECT_EQ(layer->displayExpression(), QStringLiteral("\"name\" || ' (' || \"key\" || ')'"));
    EXPECT_EQ(host::As<host::IFeatureLayer>(Layer(0))->DisplayField(), "key");
    EXPECT_EQ(layer->renderer()->type(), QStringLiteral("categorizedSymbol"));
    ASSERT_EQ(layer->undoStackStyles()->count(), 1);
    layer->undoStackStyles()->undo();
    EXPECT_EQ(layer->renderer()->type(), oldType);
    layer->undoStackStyles()->redo();
    EXPECT_EQ(layer->renderer()->type(), QStringLiteral("categorizedSymbol"));
}

}  // namespace
}  // namespace velorin::qgis
