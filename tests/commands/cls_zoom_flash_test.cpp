#include "commands/cls_zoom_flash.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/frm_zoom_flash.h"
#include "forms/shared_dialogs.h"
#include "host/host.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/memory/reference_host.h"
#include "tests/support/host_and_user.h"
#include "tests/support/two_catchments.h"
#include "tests/support/user_records.h"

namespace velorin::commands {
namespace {

using testing::BoxTexts;
using testing::HostAndUser;
using testing::SleptMilliseconds;

class ZoomFlashCommand : public ::testing::Test {
  protected:
    ZoomFlashCommand() { m_command->OnCreate(m_run.Application()); }
    ~ZoomFlashCommand() override { forms::DropZoomFlashDialog(); }
    ZoomFlashCommand(const ZoomFlashCommand&) = delete;
    ZoomFlashCommand(ZoomFlashCommand&&) = delete;
    ZoomFlashCommand& operator=(const ZoomFlashCommand&) = delete;
    ZoomFlashCommand& operator=(ZoomFlashCommand&&) = delete;

    scripted::ScriptedUser& User() { return m_run.User(); }
    memory::ReferenceHost& Host() { return m_run.Host(); }

    HostAndUser m_run{testing::TwoCatchments().Build(memory::MakeQImageCanvas(200, 150))};
    std::unique_ptr<clsZoomFlash> m_command = std::make_unique<clsZoomFlash>();
};

TEST_F(ZoomFlashCommand, FixedPropertiesAnswerWhateverTheDocument) {
    EXPECT_TRUE(m_command->Enabled());
    EXPECT_FALSE(m_command->Checked());
    EXPECT_EQ(m_command->Name(), "Velorin_ZoomFlash");
    EXPECT_EQ(m_command->Caption(), "Zoom and Flash");
    EXPECT_EQ(m_command->Tooltip(),
              "Zoom to features and flash their geometries, then flash related features");
    EXPECT_EQ(m_command->Message(), m_command->Tooltip());
    EXPECT_EQ(m_command->HelpFile(), "");
    EXPECT_EQ(m_command->HelpContextID(), 0);
    EXPECT_EQ(m_command->Bitmap(), 0);
    EXPECT_EQ(m_command->Category(), "Velorin");
}

TEST_F(ZoomFlashCommand, ClickWithDefaultsVisitsEveryFeatureAndReportsCompletion) {
    User()
        .OnShow("frmZoomFlash")
        .Do([](ui::Window& window) {
            EXPECT_EQ(window.ComboBox("cboLyr1").Text(), "Catchment");
            EXPECT_EQ(window.ComboBox("cboFld1").Text(), "NerroID");
            EXPECT_EQ(window.ComboBox("cboLyr2").Text(), "NerroJunction");
            EXPECT_EQ(window.ComboBox("cboFld2").Text(), "NerroID");
        })
        .Press("cmdOK");

    m_command->OnClick();

    EXPECT_EQ(BoxTexts(User()),
              (std::vector<std::string>{"Finished with Zoom and Flash Operation"}));
    // OK alone, no icon, the default title.
    const auto done = User().MessageBoxes().back();
    EXPECT_EQ(done.buttons, ui::MsgButtons::OkOnly);
    EXPECT_EQ(done.icon, ui::MsgIcon::None);
    EXPECT_EQ(done.title, "Velorin");
    // Method 3 for each catchment: Full Envelope (catchment, junction), then the
    // junction's Related Envelope (catchment, junction), in milliseconds.
    EXPECT_EQ(SleptMilliseconds(User()),
              (std::vector<std::int32_t>{1500, 2500, 1500, 2500, 1500, 2500, 1500, 2500}));
    const std::vector<std::string> status = User().StatusTexts();
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.front(), "Zooming to Source Feature OID = 1 ..Hit Esc to Pause");
    EXPECT_EQ(status.back(), "");
    User().CheckFinished();
}

TEST_F(ZoomFlashCommand, SecondClickOffersTheValuesAcceptedBefore) {
    User()
        .OnShow("frmZoomFlash")
        .Type("txtSrcFlashTime", "0.25")
        .Pick("cboLyr2", "<None>")
        .Check("chkRelated", 0)
        .Type("txtZoomFactor", "3")
        .Press("cmdOK");
    User().Answer("Only source features will be flashed", ui::MsgResult::Ok);
    m_command->OnClick();
    EXPECT_EQ(SleptMilliseconds(User()), (std::vector<std::int32_t>{250, 250}));

    User()
        .OnShow("frmZoomFlash")
        .Do([](ui::Window& window) {
            EXPECT_EQ(window.TextBox("txtSrcFlashTime").Text(), "0.25");
            EXPECT_EQ(window.TextBox("txtZoomFactor").Text(), "3");
            EXPECT_EQ(window.ComboBox("cboLyr2").Text(), "<None>");
            EXPECT_EQ(window.ComboBox("cboFld2").Items(), (std::vector<std::string>{"<None>"}));
            EXPECT_EQ(window.CheckBox("chkRelated").Value(), 0);
            EXPECT_FALSE(window.TextBox("txtZoomWidth").Enabled());
            EXPECT_EQ(window.CheckBox("chkFull").Value(), 1);
        })
        .Press("cmdCancel");
    m_command->OnClick();

    // Cancel: no engine, no completion message.
    EXPECT_EQ(User().MessageBoxes().size(), 2U);
    EXPECT_EQ(User().Sleeps().size(), 2U);
    User().CheckFinished();
}

TEST_F(ZoomFlashCommand, CloseBoxEndsTheRunSilentlyAndTheNextClickRebuildsTheWindow) {
    User().OnShow("frmZoomFlash").Type("txtSrcFlashTime", "0.5").Press("cmdOK");
    m_command->OnClick();
    const std::size_t boxesAfterFirst = User().MessageBoxes().size();

    User().OnShow("frmZoomFlash").Type("txtSrcFlashTime", "9").Close();
    m_command->OnClick();
    EXPECT_EQ(User().MessageBoxes().size(), boxesAfterFirst);

    User()
        .OnShow("frmZoomFlash")
        .Do([](ui::Window& window) { EXPECT_EQ(window.TextBox("txtSrcFlashTime").Text(), "0.5"); })
        .Press("cmdCancel");
    m_command->OnClick();
    User().CheckFinished();
}

TEST_F(ZoomFlashCommand, DestroyingOneOfTwoCommandsGivesTheOtherAFreshDialog) {
    auto second = std::make_unique<clsZoomFlash>();
    second->OnCreate(m_run.Application());
    User().OnShow("frmZoomFlash").Type("txtSrcFlashTime", "0.5").Press("cmdOK");
    m_command->OnClick();
    ASSERT_TRUE(forms::HasZoomFlashDialog());
    const ui::Window* firstWindow = &forms::ZoomFlashDialog().Window();
    EXPECT_TRUE(firstWindow->Loaded());

    m_command.reset();
    EXPECT_FALSE(forms::HasZoomFlashDialog());

    // The fresh dialog remembers nothing: the default time again.
    User()
        .OnShow("frmZoomFlash")
        .Do([](ui::Window& window) { EXPECT_EQ(window.TextBox("txtSrcFlashTime").Text(), "1.5"); })
        .Press("cmdCancel");
    second->OnClick();
    User().CheckFinished();
}

TEST_F(ZoomFlashCommand, EngineMessageIsStillFollowedByTheCompletionMessage) {
    User()
        .OnShow("frmZoomFlash")
        .Do([this](ui::Window&) { Host().FeatureLayerNamed("Catchment")->SetName("Basins"); })
        .Press("cmdOK");
    m_command->OnClick();
    EXPECT_EQ(BoxTexts(User()),
              (std::vector<std::string>{"Could not find Catchment",
                                        "Finished with Zoom and Flash Operation"}));
}

TEST_F(ZoomFlashCommand, CancelAtThePauseBeforeAFeatureStillReportsCompletion) {
    User().EscBeforeCancelCheck(1);
    User().AnswerNext(ui::MsgResult::Cancel);
    User().OnShow("frmZoomFlash").Press("cmdOK");
    m_command->OnClick();
    EXPECT_EQ(BoxTexts(User()),
              (std::vector<std::string>{"Paused at Catchment OID = 1.  Click OK to continue.",
                                        "Finished with Zoom and Flash Operation"}));
    EXPECT_TRUE(User().Sleeps().empty());
}

TEST_F(ZoomFlashCommand, CancelAtThePauseAfterAFeatureSuppressesCompletion) {
    User().EscDuringSleep(2);  // the junction's flash, the last of feature 1's Full Envelope
    User().AnswerNext(ui::MsgResult::Cancel);
    User().OnShow("frmZoomFlash").Check("chkRelated", 0).Press("cmdOK");
    m_command->OnClick();
    EXPECT_EQ(BoxTexts(User()),
              (std::vector<std::string>{"Paused at Catchment OID = 1.  Click OK to continue."}));
    EXPECT_EQ(User().StatusTexts().back(), "Zooming to Source Feature OID = 1 ..Hit Esc to Pause");
}

TEST_F(ZoomFlashCommand, TextKeyAgainstANumericRelatedFieldEndsInTheTrap) {
    User().OnShow("frmZoomFlash").Pick("cboFld1", "Name").Press("cmdOK");
    m_command->OnClick();
    ASSERT_EQ(User().MessageBoxes().size(), 1U);
    const std::string text = User().MessageBoxes()[0].text;
    EXPECT_EQ(text.rfind("Error 13: Type mismatch", 0), 0U) << text;
    EXPECT_NE(text.find("'Upper'"), std::string::npos) << text;
    EXPECT_NE(text.find("NerroID"), std::string::npos) << text;
    EXPECT_TRUE(User().Sleeps().empty());
}

// A host fault anywhere in a run, before the features or on one of them:
// exactly one box, the trap's, with the error as raised, and the command stays
// usable.
class ZoomFlashTrap : public ZoomFlashCommand, public ::testing::WithParamInterface<const char*> {};

TEST_P(ZoomFlashTrap, HostFaultGivesOneErrorBoxAndTheNextClickWorks) {
    User().OnShow("frmZoomFlash").Press("cmdOK");
    Host().FailAt(GetParam(), 1, host::E_HOST_FAIL, "Injected failure");
    m_command->OnClick();

    EXPECT_EQ(BoxTexts(User()), (std::vector<std::string>{"Error -2147467259: Injected failure"}));
    const auto box = User().MessageBoxes().front();
    EXPECT_EQ(box.title, "Velorin");
    EXPECT_EQ(box.buttons, ui::MsgButtons::OkOnly);
    EXPECT_EQ(box.icon, ui::MsgIcon::None);

    User().OnShow("frmZoomFlash").Press("cmdOK");
    m_command->OnClick();
    EXPECT_EQ(BoxTexts(User()).back(), "Finished with Zoom and Flash Operation");
    User().CheckFinished();
}

INSTANTIATE_TEST_SUITE_P(Members, ZoomFlashTrap,
                         ::testing::Values("IGeometry::Envelope", "IFeatureLayer::Search",
                                           "ICursor::NextRow", "IEnvelope::Expand",
                                           "IActiveView::SetExtent", "IDisplay::StartDrawing",
                                           "IDisplay::DrawPoint", "ITrackCancel::Continue",
                                           "IObjectFactory::NewSet"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             std::string name = param.param;
                             name.erase(name.find("::"), 2);
                             return name;
                         });

TEST_F(ZoomFlashCommand, HostFaultWhileFillingTheDialogShowsNoWindowAndOneErrorBox) {
    Host().FailAt("IMxDocument::FocusMap", 1, host::E_HOST_FAIL, "No map today");
    m_command->OnClick();

    EXPECT_TRUE(User().Shows().empty());
    EXPECT_EQ(BoxTexts(User()), (std::vector<std::string>{"Error -2147467259: No map today"}));
    User().CheckFinished();
}

}  // namespace
}  // namespace velorin::commands
