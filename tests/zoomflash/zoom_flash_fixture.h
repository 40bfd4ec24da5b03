#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "host/host.h"
#include "tests/support/host_fixture.h"
#include "tests/support/map_plan.h"
#include "tests/support/shapes.h"
#include "tests/support/user_records.h"

namespace velorin::zoomflash::testing {

using velorin::testing::HostMaker;
using velorin::testing::MapPlan;

// The Zoom and Flash suites on any host the binary links (tests/support/
// host_fixture.h), read back through host interfaces. Every flash is watched:
// when the second drawing of a shape is done, the screen must be exactly as it
// was before the first (FlashesChecked counts them, and a difference fails the
// test where it happens; FlashesShown counts the flashes whose first drawing did
// change the screen).
class ZoomFlashOnHost {
  protected:
    void Start(const HostMaker& maker) { m_maker = maker; }

    // A new host holding the map; the one before goes first, so toolkit scopes nest.
    void Use(const MapPlan& map) {
        m_host.reset();
        m_draws = 0;
        m_flashesChecked = 0;
        m_flashesShown = 0;
        m_host = m_maker.make();
        m_host->Build(map);
        Context().hooks.screenChanged = [this] { WatchScreen(); };
        m_baseline = m_host->Pixels();
    }

    velorin::testing::HostFixture& Host() { return *m_host; }
    velorin::testing::HostContext& Context() { return m_host->Context(); }
    const objects::HostRecord& Record() { return Context().record; }
    scripted::ScriptedUser& User() { return m_host->User(); }
    std::shared_ptr<host::IApplication> Application() const { return m_host->Application(); }
    std::shared_ptr<host::IMap> Map() { return m_host->FocusMap(); }
    std::shared_ptr<host::IActiveView> View() {
        return host::Require<host::IActiveView>(Map(), "IActiveView");
    }
    host::IObjectFactory& Factory() { return *Application()->ObjectFactory(); }

    std::shared_ptr<host::IFeatureLayer> Layer(const std::string& name) {
        auto layer = m_host->FeatureLayer(name);
        if (!layer) throw Error(host::E_HOST_INVALIDARG, "no feature layer " + name);
        return layer;
    }
    // A top-level layer of any kind, or a standalone table, by name.
    std::shared_ptr<host::IUnknown> LayerOrTable(const std::string& name) {
        const objects::FaultInjector::QuietScope quiet(Context().faults);
        const auto map = Map();
        for (std::int32_t i = 0; i < map->LayerCount(); ++i) {
            if (map->Layer(i)->Name() == name) return map->Layer(i);
        }
        if (const auto tables = host::As<host::IStandaloneTableCollection>(map)) {
            for (std::int32_t i = 0; i < tables->StandaloneTableCount(); ++i) {
                if (tables->StandaloneTable(i)->Name() == name) return tables->StandaloneTable(i);
            }
        }
        throw Error(host::E_HOST_INVALIDARG, "no layer or table " + name);
    }
    // Found by reading the layer, not by a where clause: hosts name the object id
    // field differently.
    std::shared_ptr<host::IFeature> FeatureOf(const std::string& layer, std::int32_t oid) {
        const objects::FaultInjector::QuietScope quiet(Context().faults);
        const auto cursor = Layer(layer)->Search(nullptr, false);
        while (auto feature = cursor->NextFeature()) {
            if (feature->OID() == oid) return feature;
        }
        throw Error(host::E_HOST_INVALIDARG, layer + " has no feature " + std::to_string(oid));
    }
    // The name the host gives the layer's object id field.
    std::string ObjectIdField(const std::string& layer) {
        const objects::FaultInjector::QuietScope quiet(Context().faults);
        const auto fields = Layer(layer)->FeatureClass()->Fields();
        for (std::int32_t i = 0; i < fields->FieldCount(); ++i) {
            if (fields->Field(i)->Type() == host::esriFieldTypeOID) return fields->Field(i)->Name();
        }
        throw Error(host::E_HOST_INVALIDARG, layer + " has no object id field");
    }

    std::vector<std::string> BoxTexts() { return velorin::testing::BoxTexts(User()); }
    std::vector<std::int32_t> Slept() { return velorin::testing::SleptMilliseconds(User()); }
    const std::vector<objects::ExtentRecord>& Extents() { return Record().extents; }
    int FlashesChecked() const { return m_flashesChecked; }
    // Flashes whose first drawing changed the screen.
    int FlashesShown() const { return m_flashesShown; }

  private:
    void WatchScreen() {
        const std::size_t draws = Record().draws.size();
        if (draws == m_draws) {
            m_baseline = m_host->Pixels();  // the map's own redraw
        } else if (draws % 2 == 1) {
            if (m_host->Pixels() != m_baseline) ++m_flashesShown;
        } else {
            EXPECT_EQ(m_host->Pixels(), m_baseline) << "a flash left pixels changed";
            ++m_flashesChecked;
        }
        m_draws = draws;
    }

    HostMaker m_maker;
    std::unique_ptr<velorin::testing::HostFixture> m_host;
    std::vector<std::uint32_t> m_baseline;
    std::size_t m_draws = 0;
    int m_flashesChecked = 0;
    int m_flashesShown = 0;
};

// A suite whose tests take nothing but the host.
class ZoomFlashTest : public ZoomFlashOnHost, public ::testing::TestWithParam<HostMaker> {
  protected:
    void SetUp() override { Start(GetParam()); }
};

// A table of cases on every host: the parameter is (host, case); Base is the
// suite's own helpers over ZoomFlashOnHost.
template <class Case, class Base = ZoomFlashOnHost>
class ZoomFlashCases : public Base, public ::testing::TestWithParam<std::tuple<HostMaker, Case>> {
  protected:
    void SetUp() override { this->Start(std::get<0>(this->GetParam())); }
    const Case& TheCase() const { return std::get<1>(this->GetParam()); }
};

}  // namespace velorin::zoomflash::testing
