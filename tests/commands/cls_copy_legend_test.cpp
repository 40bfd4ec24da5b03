#include "commands/cls_copy_legend.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/frm_copy_legend.h"
#include "forms/shared_dialogs.h"
#include "host/host.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/memory/reference_host.h"
#include "tests/copylegend/legend_helpers.h"
#include "tests/support/host_and_user.h"
#include "tests/support/shapes.h"
#include "tests/support/user_records.h"

namespace velorin::commands {
namespace {

using host::esriFieldTypeInteger;
using host::esriFieldTypeString;
using host::esriGeometryPoint;
using host::esriGeometryPolygon;
using memory::HostBuilder;
using objects::MakePoint;
using objects::MakePolygon;
using testing::BoxTexts;
using testing::HostAndUser;
using testing::kGreen;
using testing::kRed;
using testing::Square;

// Junctions 1 and 2 drawn red and green by a legend on "Kind"; junction 3 drawn
// with `third` (a simple blue marker unless a test needs another). Catchments
// keyed 1, 2 and 7 by JunctionID; Watershed has the same keys as integers.
memory::ReferenceHost Junctions(std::shared_ptr<host::ISymbol> third = {}) {
    HostBuilder builder;
    const auto& context = builder.Context();
    if (!third) third = testing::SimpleSymbol(context, esriGeometryPoint, testing::kBlue);
    builder.Window(240, 160)
        .FeatureLayer("NerroJunction", esriGeometryPoint)
        .Field("NerroID", esriFieldTypeInteger)
        .Field("Kind", esriFieldTypeString)
        .Feature({1, "r"}, MakePoint(5, 25))
        .Feature({2, "g"}, MakePoint(25, 25))
        .Feature({3, "x"}, MakePoint(45, 25))
        .Renderer(testing::Legend(context, "Kind",
                                  {{"r", testing::SimpleSymbol(context, esriGeometryPoint, kRed)},
                                   {"g", testing::SimpleSymbol(context, esriGeometryPoint, kGreen)},
                                   {"x", third}}))
        .FeatureLayer("Catchment", esriGeometryPolygon)
        .Field("JunctionID", esriFieldTypeString)
        .Feature({"1"}, MakePolygon({Square(0, 0, 10)}))
        .Feature({"2"}, MakePolygon({Square(20, 0, 10)}))
        .Feature({"7"}, MakePolygon({Square(40, 0, 10)}))
        .FeatureLayer("Watershed", esriGeometryPolygon)
        .Field("JunctionID", esriFieldTypeInteger)
        .Feature({1}, MakePolygon({Square(0, 40, 10)}));
    return builder.Build(memory::MakeQImageCanvas(240, 160));
}

class CopyLegendCommand : public ::testing::Test {
  protected:
    explicit CopyLegendCommand(memory::ReferenceHost host = Junctions()) : m_run(std::move(host)) {
        m_run.Host().Context().recordProgress = true;
        m_command->OnCreate(m_run.Application());
    }
    ~CopyLegendCommand() override { forms::DropCopyLegendDialog(); }
    CopyLegendCommand(const CopyLegendCommand&) = delete;
    CopyLegendCommand(CopyLegendCommand&&) = delete;
    CopyLegendCommand& operator=(const CopyLegendCommand&) = delete;
    CopyLegendCommand& operator=(CopyLegendCommand&&) = delete;

    scripted::ScriptedUser& User() { return m_run.User(); }
    memory::ReferenceHost& Host() { return m_run.Host(); }
    std::shared_ptr<host::IFeatureRenderer> RendererOf(const std::string& layer) {
        return Host().FeatureLayerNamed(layer)->Renderer();
    }

    objects::Rgb PixelAt(double x, double y) {
        const memory::PixelXY p = Host().View().ToPixel({x, y});
        return Host().View().Screen().Pixel(static_cast<int>(p.x), static_cast<int>(p.y));
    }

    HostAndUser m_run;
    std::unique_ptr<clsCopyLegend> m_command = std::make_unique<clsCopyLegend>();
};

TEST_F(CopyLegendCommand, FixedProperties) {
    EXPECT_EQ(m_command->Name(), "Velorin_CopyLegend");
    EXPECT_EQ(m_command->Caption(), "Copy Legend");
    EXPECT_EQ(m_command->Tooltip(), "Copy Legend Colors from Source Features to Related Features");
    EXPECT_EQ(m_command->Message(), m_command->Tooltip());
    EXPECT_EQ(m_command->Category(), "Velorin");
}

TEST_F(CopyLegendCommand, FirstClickWithThePreselectionColoursTheCatchmentsAndSaysSo) {
    User()
        .OnShow("frmCopyLegend")
        .Do([](ui::Window& window) {
            EXPECT_EQ(window.ComboBox("cboLyr1").Text(), "NerroJunction");
            EXPECT_EQ(window.ComboBox("cboFld1").Text(), "NerroID");
            EXPECT_EQ(window.ComboBox("cboLyr2").Text(), "Catchment");
            EXPECT_EQ(window.ComboBox("cboFld2").Text(), "JunctionID");
        })
        .Press("cmdOK");

    m_command->OnClick();

    EXPECT_EQ(BoxTexts(User()), std::vector<std::string>{"Finished Copying Legend Colors"});
    // OK alone, no icon, the default title.
    const auto done = User().MessageBoxes().back();
    EXPECT_EQ(done.buttons, ui::MsgButtons::OkOnly);
    EXPECT_EQ(done.icon, ui::MsgIcon::None);
    EXPECT_EQ(done.title, "Velorin");
    EXPECT_EQ(PixelAt(3, 3), (objects::Rgb{200, 30, 30}));
    EXPECT_EQ(PixelAt(27, 6), (objects::Rgb{30, 160, 60}));
    // Key 7 has no junction: hatched, so its inside is partly background.
    int background = 0;
    for (double x = 41; x < 49; x += 0.5)
        background += PixelAt(x, 5) == memory::MapView::Background;
    EXPECT_GT(background, 0);
    User().CheckFinished();
}

TEST_F(CopyLegendCommand, SecondClickOffersTheNamesAcceptedBefore) {
    User().OnShow("frmCopyLegend").Pick("cboLyr2", "Watershed").Press("cmdOK");
    m_command->OnClick();
    EXPECT_TRUE(host::Supports<host::IUniqueValueRenderer>(RendererOf("Watershed")));

    User()
        .OnShow("frmCopyLegend")
        .Do([](ui::Window& window) {
            EXPECT_EQ(window.ComboBox("cboLyr1").Text(), "NerroJunction");
            EXPECT_EQ(window.ComboBox("cboLyr2").Text(), "Watershed");
            EXPECT_EQ(window.ComboBox("cboFld2").Text(), "JunctionID");
        })
        .Press("cmdCancel");
    m_command->OnClick();

    EXPECT_EQ(BoxTexts(User()), std::vector<std::string>{"Finished Copying Legend Colors"});
    User().CheckFinished();
}

TEST_F(CopyLegendCommand, CancelAndTheCloseBoxEndTheRunSilentlyWithNothingChanged) {
    const auto before = RendererOf("Catchment");
    User().OnShow("frmCopyLegend").Press("cmdCancel");
    m_command->OnClick();
    User().OnShow("frmCopyLegend").Close();
    m_command->OnClick();

    EXPECT_TRUE(User().MessageBoxes().empty());
    EXPECT_EQ(RendererOf("Catchment"), before);
    EXPECT_TRUE(Host().Record().progress.empty());
    User().CheckFinished();
}

TEST_F(CopyLegendCommand, ARefusalShowsOnlyTheEnginesMessage) {
    User().OnShow("frmCopyLegend").Pick("cboLyr1", "Watershed").Press("cmdOK");

    m_command->OnClick();

    EXPECT_EQ(BoxTexts(User()),
              std::vector<std::string>{"Watershed must be rendered with a Unique Value Renderer"});
}

TEST_F(CopyLegendCommand, EscDuringTheWalkIsSilentAndLeavesTheRendererAsItWas) {
    const auto before = RendererOf("Catchment");
    User().OnShow("frmCopyLegend").Press("cmdOK");
    User().EscBeforeCancelCheck(2);

    m_command->OnClick();

    EXPECT_TRUE(User().MessageBoxes().empty());
    EXPECT_EQ(RendererOf("Catchment"), before);
    EXPECT_FALSE(Host().StatusBar().Progressor()->Shown());
    User().CheckFinished();
}

class CopyLegendCommandWithPicture : public CopyLegendCommand {
  protected:
    static memory::ReferenceHost PictureHost() {
        // The host's own context does not exist yet; a symbol of another context
        // draws all the same.
        return Junctions(std::make_shared<objects::PictureMarkerSymbol>(nullptr));
    }
    CopyLegendCommandWithPicture() : CopyLegendCommand(PictureHost()) {}
};

TEST_F(CopyLegendCommandWithPicture, ANonSimpleSymbolEndsInOneErrorBoxAndTheCommandStaysUsable) {
    const auto before = RendererOf("Catchment");
    User().OnShow("frmCopyLegend").Press("cmdOK");

    m_command->OnClick();

    EXPECT_EQ(BoxTexts(User()), std::vector<std::string>{"Error 2021: Symbol type must be simple"});
    EXPECT_EQ(RendererOf("Catchment"), before);

    // The next click works: the dialog comes back with the accepted names.
    User()
        .OnShow("frmCopyLegend")
        .Do([](ui::Window& window) { EXPECT_EQ(window.ComboBox("cboLyr2").Text(), "Catchment"); })
        .Press("cmdCancel");
    m_command->OnClick();
    EXPECT_EQ(User().MessageBoxes().size(), 1U);
    User().CheckFinished();
}

TEST_F(CopyLegendCommand, AHostFailureWhileFillingTheDialogEndsInOneErrorBox) {
    Host().FailAt("IFields::FieldCount", 1, host::E_HOST_FAIL, "The data source went away");

    m_command->OnClick();

    ASSERT_EQ(User().MessageBoxes().size(), 1U);
    EXPECT_EQ(User().MessageBoxes()[0].text, "Error -2147467259: The data source went away");
}

TEST_F(CopyLegendCommand, DestroyingOneOfTwoCommandsGivesTheOtherAFreshDialog) {
    auto second = std::make_unique<clsCopyLegend>();
    second->OnCreate(m_run.Application());
    User().OnShow("frmCopyLegend").Pick("cboLyr2", "Watershed").Press("cmdOK");
    m_command->OnClick();
    ASSERT_TRUE(forms::HasCopyLegendDialog());

    m_command.reset();
    EXPECT_FALSE(forms::HasCopyLegendDialog());

    User()
        .OnShow("frmCopyLegend")
        .Do([](ui::Window& window) { EXPECT_EQ(window.ComboBox("cboLyr2").Text(), "Catchment"); })
        .Press("cmdCancel");
    second->OnClick();
    User().CheckFinished();
}

}  // namespace
}  // namespace velorin::commands
