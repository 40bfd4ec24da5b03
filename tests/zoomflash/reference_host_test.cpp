#include "platform/memory/reference_host.h"

#include <gtest/gtest.h>

#include "platform/memory/qt/qimage_canvas.h"
#include "tests/support/host_and_user.h"
#include "tests/support/shapes.h"
#include "zoomflash/run_zoom_flash.h"
#include "zoomflash/zoom_flash_feature.h"
#include "zoomflash/zoom_flash_parameters.h"

// What only the reference host can show: a QGIS project always has its one map,
// so a document without a focus map exists on the reference host alone.
namespace velorin::zoomflash {
namespace {

TEST(ZoomFlashEngineOnTheReferenceHost, ADocumentWithoutAFocusMapIsRefusedWithOneBox) {
    velorin::testing::HostAndUser run{
        memory::HostBuilder()
            .FeatureLayer("Catchment", host::esriGeometryPolygon)
            .Field("NerroID", host::esriFieldTypeInteger)
            .Feature({1}, objects::MakePolygon({velorin::testing::Square(0, 0, 10)}))
            .FeatureLayer("NerroJunction", host::esriGeometryPoint)
            .Field("NerroID", host::esriFieldTypeInteger)
            .Build(memory::MakeQImageCanvas(200, 150))};
    run.Host().Document().SetFocusMap(nullptr);
    ZoomFlashParameters p;
    p.sourceLayer = "Catchment";
    p.sourceField = "NerroID";
    p.relatedLayer = "NerroJunction";
    p.relatedField = "NerroID";
    p.zoomMethod = kZoomFullEnvelope;
    std::shared_ptr<host::ISet> sourceSet;

    EXPECT_FALSE(RunZoomFlash(run.Application(), p, sourceSet).interrupted);

    ASSERT_EQ(run.User().MessageBoxes().size(), 1U);
    const auto box = run.User().MessageBoxes()[0];
    EXPECT_EQ(box.text, "Reference to Map not found");
    EXPECT_EQ(box.icon, ui::MsgIcon::Critical);
    EXPECT_EQ(box.buttons, ui::MsgButtons::OkOnly);
    EXPECT_TRUE(run.User().StatusTexts().empty());
}

}  // namespace
}  // namespace velorin::zoomflash
