#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "platform/memory/qt/qimage_canvas.h"
#include "platform/memory/reference_host.h"
#include "tests/support/host_and_user.h"
#include "tests/support/shapes.h"
#include "tests/support/user_records.h"

namespace velorin::zoomflash::testing {

// A host on a real pixel screen, with a scripted user, for the engine's parts.
// Every flash is watched: when the second drawing of a shape is done, the screen
// must be exactly as it was before the first (FlashesChecked counts them, and a
// difference fails the test where it happens; FlashesShown counts the flashes
// whose first drawing did change the screen).
class ZoomFlashTest : public ::testing::Test {
  protected:
    // A new host and user; the ones before go first, so toolkit scopes nest.
    void Use(memory::HostBuilder builder, int width = 200, int height = 150) {
        m_run.reset();
        m_draws = 0;
        m_run = std::make_unique<velorin::testing::HostAndUser>(
            builder.Build(memory::MakeQImageCanvas(width, height)));
        Host().Context().hooks.screenChanged = [this] { WatchScreen(); };
        m_baseline = m_run->Pixels();
    }

    memory::ReferenceHost& Host() { return m_run->Host(); }
    scripted::ScriptedUser& User() { return m_run->User(); }
    std::shared_ptr<host::IApplication> Application() const { return m_run->Application(); }
    std::shared_ptr<host::IMap> Map() {
        return host::As<host::IMxDocument>(Application()->Document())->FocusMap();
    }
    host::IObjectFactory& Factory() { return *Application()->ObjectFactory(); }
    std::shared_ptr<host::IFeatureLayer> Layer(const std::string& name) {
        return Host().FeatureLayerNamed(name);
    }
    std::shared_ptr<host::IFeature> FeatureOf(const std::string& layer, std::int32_t oid) {
        auto filter = Factory().NewQueryFilter();
        filter->SetWhereClause("OBJECTID = " + std::to_string(oid));
        return Layer(layer)->Search(filter, false)->NextFeature();
    }

    std::vector<std::string> BoxTexts() const { return velorin::testing::BoxTexts(m_run->User()); }
    std::vector<std::int32_t> Slept() const {
        return velorin::testing::SleptMilliseconds(m_run->User());
    }
    const std::vector<objects::ExtentRecord>& Extents() { return Host().Record().extents; }
    int FlashesChecked() const { return m_flashesChecked; }
    // Flashes whose first drawing changed the screen.
    int FlashesShown() const { return m_flashesShown; }

  private:
    void WatchScreen() {
        const std::size_t draws = Host().Record().draws.size();
        if (draws == m_draws) {
            m_baseline = m_run->Pixels();  // the map's own redraw
        } else if (draws % 2 == 1) {
            if (m_run->Pixels() != m_baseline) ++m_flashesShown;
        } else {
            EXPECT_EQ(m_run->Pixels(), m_baseline) << "a flash left pixels changed";
            ++m_flashesChecked;
        }
        m_draws = draws;
    }

    std::unique_ptr<velorin::testing::HostAndUser> m_run;
    std::vector<std::uint32_t> m_baseline;
    std::size_t m_draws = 0;
    int m_flashesChecked = 0;
    int m_flashesShown = 0;
};

}  // namespace velorin::zoomflash::testing
