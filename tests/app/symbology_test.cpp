#include "app/symbology.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdlib>
#include <functional>
#include <set>

#include "app/attribute_table.h"
#include "app/symbology_dialog.h"
#include "host/codes.h"
#include "host/error.h"
#include "host/object.h"
#include "platform/objects/renderers.h"

namespace velorin::app {
namespace {

int Distance(objects::Rgb a, objects::Rgb b) {
    return std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue);
}

memory::ReferenceHost Cities(std::int32_t count) {
    memory::HostBuilder builder;
    builder.FeatureLayer("cities", host::esriGeometryPoint)
        .Field("country", host::esriFieldTypeString)
        .Field("rank", host::esriFieldTypeInteger);
    // Ranks 10, 9, ..., 1 and a null; countries repeat.
    const char* countries[] = {"Peru", "Chile", "Benin"};
    for (std::int32_t i = 0; i < count; ++i) {
        builder.Feature(
            {countries[i % 3], i == 0 ? host::FieldValue() : host::FieldValue(count - i)},
            objects::MakePoint(i, i));
    }
    return builder.Build();
}

TEST(DistinctColors, NeighboursStayApartAndNoColourRepeats) {
    const std::vector<objects::Rgb> colors = DistinctColors(60);
    std::set<std::int32_t> seen;
    for (std::size_t i = 0; i < colors.size(); ++i) {
        EXPECT_TRUE(seen.insert(colors[i].ToHost()).second) << "colour " << i << " repeats";
        if (i > 0) {
            EXPECT_GT(Distance(colors[i], colors[i - 1]), 120) << "colours " << i;
        }
    }
    EXPECT_EQ(DistinctColors(60)[17], colors[17]);
}

TEST(RampColors, RandomIsTheDistinctColoursAndASequentialRampDarkensAllTheWay) {
    EXPECT_EQ(RampColors(ColorRamp::Random, 9), DistinctColors(9));
    for (const ColorRamp ramp : {ColorRamp::Blues, ColorRamp::Greens, ColorRamp::Reds}) {
        const std::vector<objects::Rgb> colors = RampColors(ramp, 9);
        ASSERT_EQ(colors.size(), 9u);
        for (std::size_t i = 1; i < colors.size(); ++i) {
            EXPECT_LT(Distance(colors[i], {0, 0, 0}), Distance(colors[i - 1], {0, 0, 0}))
                << kColorRampNames[static_cast<std::size_t>(ramp)] << " " << i;
        }
    }
    EXPECT_EQ(RampColors(ColorRamp::Viridis, 1).size(), 1u);
}

TEST(DistinctValues, InTheirNaturalOrderWithoutNullsThroughTheDefinitionQuery) {
    const auto host = Cities(12);
    const auto layer = host.FeatureLayerNamed("cities");
    std::vector<std::string> ranks;
    for (const auto& value : DistinctValues(*layer, "RANK")) ranks.push_back(host::ToText(value));
    // Numbers by value (10 after 9), the null left to "all other values".
    EXPECT_EQ(ranks,
              (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}));
    layer->SetDefinitionExpression("country = 'Chile'");
    std::vector<std::string> countries;
    for (const auto& value : DistinctValues(*layer, "country")) {
        countries.push_back(host::ToText(value));
    }
    EXPECT_EQ(countries, std::vector<std::string>{"Chile"});
}

TEST(DistinctValues, RefusesAMissingFieldAGeometryAndAFieldOfTooManyValues) {
    const auto host = Cities(static_cast<std::int32_t>(kMaxUniqueValues) + 2);
    const auto layer = host.FeatureLayerNamed("cities");
    for (const char* field : {"nation", "Shape", "OBJECTID"}) {
        EXPECT_THROW(DistinctValues(*layer, field), velorin::Error) << field;
    }
    EXPECT_EQ(DistinctValues(*layer, "country").size(), 3u);
}

TEST(Categorize, GivesTheLayerAHostUniqueValueRendererAndRefusalsChangeNothing) {
    const auto host = Cities(6);
    const auto layer = host.FeatureLayerNamed("cities");
    const auto before = layer->Renderer();
    EXPECT_THROW(Categorize(host, "cities", "nation"), velorin::Error);
    EXPECT_THROW(Categorize(host, "towns", "country"), velorin::Error);
    EXPECT_EQ(layer->Renderer(), before);

    Categorize(host, "cities", "country");
    const auto unique = std::dynamic_pointer_cast<objects::UniqueValueRenderer>(layer->Renderer());
    ASSERT_TRUE(unique);
    EXPECT_EQ(unique->Field(0), "country");
    EXPECT_TRUE(unique->FieldType(0));
    ASSERT_EQ(unique->ValueCount(), 3);
    EXPECT_EQ(unique->Value(0), "Benin");
    EXPECT_TRUE(unique->UseDefaultSymbol());
    EXPECT_EQ(layer->RendererPropertyPageClassID(), objects::UniqueValuePropertyPageClassID);
    // Each value draws in a colour of its own, as simple markers (what Copy Legend
    // Colors reads).
    std::set<std::int32_t> colors;
    for (std::int32_t i = 0; i < unique->ValueCount(); ++i) {
        const auto marker = host::As<host::ISimpleMarkerSymbol>(unique->Symbol(unique->Value(i)));
        ASSERT_TRUE(marker);
        colors.insert(marker->Color()->RGB());
    }
    EXPECT_EQ(colors.size(), 3u);
}

std::vector<std::string> ValuesOf(const SymbologyDialog& dialog) {
    std::vector<std::string> values;
    for (const ValueClass& value : dialog.Values()) values.push_back(value.value);
    return values;
}

std::vector<objects::Rgb> ColorsOf(const SymbologyDialog& dialog) {
    std::vector<objects::Rgb> colors;
    for (const ValueClass& value : dialog.Values()) colors.push_back(value.color);
    return colors;
}

void PressKey(QWidget& widget, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
}

// A person's double-click on a row of the list.
void DoubleClick(QTreeWidget& list, int row) {
    const QPoint at = list.visualItemRect(list.topLevelItem(row)).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                    QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, list.viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(list.viewport(), &event);
    }
}

TEST(SymbologyDialog, ValuesAreRecolouredSortedAndRemovedInThePreviewAndAppliedAtOk) {
    const auto host = Cities(12);
    const auto layer = host.FeatureLayerNamed("cities");
    const auto before = layer->Renderer();
    SymbologyDialog dialog(host, layer);
    dialog.show();
    dialog.SetKind(SymbologyDialog::Kind::UniqueValues);
    dialog.SetField("rank");
    QTreeWidget& list = dialog.PreviewList();
    ASSERT_EQ(ValuesOf(dialog),
              (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}));

    // A double-click on a value asks the colour chooser for its colour.
    QString asked;
    dialog.pickColor = [&](const QColor&, const QString& title) {
        asked = title;
        return QColor(1, 2, 3);
    };
    DoubleClick(list, 2);
    EXPECT_EQ(asked, "Colour of 3");
    EXPECT_EQ(dialog.Values()[2].color, (objects::Rgb{1, 2, 3}));

    // A ramp chosen with the keyboard colours every value along it, in order.
    PressKey(dialog.RampList(), Qt::Key_Down);
    EXPECT_EQ(dialog.RampList().currentText(), "Blues");
    EXPECT_EQ(ColorsOf(dialog), RampColors(ColorRamp::Blues, 11));

    // Sorted descending by value (10 before 9), each keeping its colour.
    const objects::Rgb ten = dialog.Values()[9].color;
    dialog.findChild<QPushButton*>("sortDescending")->click();
    EXPECT_EQ(ValuesOf(dialog),
              (std::vector<std::string>{"11", "10", "9", "8", "7", "6", "5", "4", "3", "2", "1"}));
    EXPECT_EQ(dialog.Values()[1].color, ten);

    // Two values selected and removed with Del; "all other values" stays, and
    // cannot be selected.
    list.topLevelItem(0)->setSelected(true);
    list.topLevelItem(1)->setSelected(true);
    EXPECT_FALSE(list.topLevelItem(11)->flags().testFlag(Qt::ItemIsSelectable));
    PressKey(list, Qt::Key_Delete);
    EXPECT_EQ(ValuesOf(dialog).front(), "9");
    ASSERT_EQ(list.topLevelItemCount(), 10);
    EXPECT_EQ(list.topLevelItem(9)->text(0), "<all other values>");

    // None of it was the layer's until OK.
    EXPECT_EQ(layer->Renderer(), before);
    dialog.Buttons().button(QDialogButtonBox::Ok)->click();
    const auto unique = host::As<host::IUniqueValueRenderer>(layer->Renderer());
    ASSERT_TRUE(unique);
    ASSERT_EQ(unique->ValueCount(), 9);
    for (std::int32_t i = 0; i < unique->ValueCount(); ++i) {
        const auto& value = dialog.Values()[static_cast<std::size_t>(i)];
        EXPECT_EQ(unique->Value(i), value.value);
        const auto marker = host::As<host::ISimpleMarkerSymbol>(unique->Symbol(value.value));
        EXPECT_EQ(objects::Rgb::FromHost(marker->Color()->RGB()), value.color) << value.value;
    }

    // Opened again, the dialog starts from the legend as it was left.
    const SymbologyDialog again(host, layer);
    EXPECT_EQ(ValuesOf(again), ValuesOf(dialog));
    EXPECT_EQ(ColorsOf(again), ColorsOf(dialog));
}

TEST(SymbologyDialog, ValuesSortInTheOrderOfTheirFieldsColumnInTheAttributeTable) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    memory::HostBuilder builder;
    builder.FeatureLayer("places", host::esriGeometryPoint)
        .Field("name", host::esriFieldTypeString)
        .Field("area", host::esriFieldTypeDouble);
    const std::vector<std::pair<std::string, double>> places{{"Zug", 2.5},      {"'t Zand", 10},
                                                             {"Ängelholm", -1}, {"Road 10", 3},
                                                             {"Road 9", 100},   {"bern", 0.5}};
    for (const auto& [name, area] : places) {
        builder.Feature({name, area}, objects::MakePoint(0, 0));
    }
    const auto host = builder.Build();
    const auto layer = host.FeatureLayerNamed("places");
    for (const char* field : {"name", "area"}) {
        for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            SymbologyDialog dialog(host, layer);
            dialog.SetKind(SymbologyDialog::Kind::UniqueValues);
            dialog.SetField(field);
            dialog
                .findChild<QPushButton*>(order == Qt::AscendingOrder ? "sortAscending"
                                                                     : "sortDescending")
                ->click();
            AttributeTableModel table(layer);
            const int column = layer->FindField(field);
            table.SortAtOnce(column, order);
            std::vector<std::string> shown;
            for (int row = 0; row < table.rowCount(); ++row) {
                shown.push_back(table.data(table.index(row, column)).toString().toStdString());
            }
            EXPECT_EQ(ValuesOf(dialog), shown) << field << " " << order;
        }
    }
    QLocale::setDefault(QLocale::c());
}

TEST(SymbologyDialog, CancelGivesBackTheLegendApplyChangedAndTheMapWindowsCloseKeepsIt) {
    const std::vector<std::pair<const char*, std::function<void(SymbologyDialog&)>>> closings{
        {"Cancel",
         [](SymbologyDialog& d) { d.Buttons().button(QDialogButtonBox::Cancel)->click(); }},
        {"Esc", [](SymbologyDialog& d) { PressKey(d, Qt::Key_Escape); }},
        {"window", [](SymbologyDialog& d) { d.close(); }}};
    for (const auto& [how, close] : closings) {
        const auto host = Cities(6);
        const auto layer = host.FeatureLayerNamed("cities");
        const auto before = layer->Renderer();
        SymbologyDialog dialog(host, layer);
        int changes = 0;
        dialog.onApplied = [&] { ++changes; };
        dialog.show();
        dialog.SetKind(SymbologyDialog::Kind::UniqueValues);
        dialog.SetField("country");
        ASSERT_TRUE(dialog.Apply());
        const auto applied = layer->Renderer();
        ASSERT_NE(applied, before);
        close(dialog);
        const bool givesBack = std::string(how) != "window";
        EXPECT_EQ(layer->Renderer(), givesBack ? before : applied) << how;
        EXPECT_EQ(changes, givesBack ? 2 : 1) << how;
        EXPECT_FALSE(dialog.isVisible()) << how;
    }
}

}  // namespace
}  // namespace velorin::app
