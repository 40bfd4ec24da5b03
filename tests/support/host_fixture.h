#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "host/host.h"
#include "platform/objects/host_context.h"
#include "platform/scripted/scripted_user.h"
#include "tests/support/map_plan.h"
#include "ui/current_toolkit.h"

// One map, any host: the conformance suites state their map as a MapPlan, build
// it on each host a test binary links, run the tools through the scripted user
// and read back through host interfaces only. A suite is value-parameterized on
// the host:
//
//   class Suite : public ::testing::TestWithParam<HostMaker> { ... GetParam().make() ... };
//   INSTANTIATE_TEST_SUITE_P(Hosts, Suite, ::testing::ValuesIn(velorin::testing::Hosts()),
//                            velorin::testing::HostName);
//
// Each test binary links one implementation (tests/support/memory_fixture.cpp for
// the reference host; tests/qgis/qgis_fixture.cpp for QGIS, whose Qt 5 cannot share
// a process with the reference host's Qt 6 canvas), which registers itself.
// Where hosts legitimately differ, the difference is a field of HostTraits with
// its reason, never a branch on the host's name in a test.
namespace velorin::testing {

// What the hosts share of tests' observations: faults to inject, the record of
// extents, status texts, progress and draws, and the hooks. The one name the
// suites use for it.
using HostContext = objects::HostContext;

// A way two hosts legitimately differ, with the reason a reader of a failing
// test needs.
struct Difference {
    bool differs = false;
    std::string reason;
};

// A name a host gives where the reference host gives another, and why.
struct NameDifference {
    std::string name;
    std::string reason;
};

// The declared differences of one host from the reference host. A test reads a
// field to choose what it expects; every field says why.
struct HostTraits {
    // Reading a layer's renderer gives a new object each time (the host keeps
    // its own renderer and translates it), so tests compare renderers by what
    // they hold, never by identity.
    Difference rendererReadBackIsACopy;
    // A definition query narrows the feature class too, so the class's feature
    // count is the layer's.
    Difference definitionNarrowsTheClass;
    // A unique value renderer read back has lost its colour scheme name.
    Difference colorSchemeForgotten;
    // Layers inside groups are layers of the map: the dialogs list them and the
    // tools find them (the reference host, like the original, lists top-level
    // layers only).
    Difference groupedLayersAreMapLayers;
    // Every feature class is simple: the host has no annotation, dimension or
    // network feature classes, so the lists have none to leave out or keep.
    Difference everyClassIsSimple;
    // The object id field a layer's class shows ahead of the declared fields.
    NameDifference objectIdField{"OBJECTID", {}};
    // The host has no single-precision field: a Single field of a plan holds the
    // float's value as a double, and the host reads it back as a Double field, so
    // a key's text is the double's (a single's shortest text, "1e+20", names
    // another double than 1e20F widened).
    Difference singlesAreDoubles;
};

// The screen at one moment, row by row, one 0xAARRGGBB word per pixel (two
// shots compare equal when a flash left nothing behind), with the map-to-pixel
// transform of that moment.
struct ScreenShot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    // Pixels are 0x00RRGGBB (any alpha ignored).
    // pixel = origin + scale * map, per axis (the y scale is negative: rows run south).
    double originX = 0, originY = 0, scaleX = 1, scaleY = 1;

    // The colour at a point of the map (map units); black outside the screen.
    Color At(double x, double y) const;
};

class HostFixture {
  public:
    HostFixture();
    virtual ~HostFixture();
    HostFixture(const HostFixture&) = delete;
    HostFixture(HostFixture&&) = delete;
    HostFixture& operator=(const HostFixture&) = delete;
    HostFixture& operator=(HostFixture&&) = delete;

    virtual std::string Name() const = 0;
    virtual const HostTraits& Traits() const = 0;

    // Builds the map once; progress is recorded from then on. A plan the host
    // cannot build raises velorin::Error.
    virtual void Build(const MapPlan& map) = 0;
    // What the extension is given.
    virtual std::shared_ptr<host::IApplication> Application() const = 0;
    // The screen as it is now.
    virtual ScreenShot Screen() = 0;
    std::vector<std::uint32_t> Pixels() { return Screen().pixels; }
    // The colour of the screen where nothing is drawn.
    virtual Color Background() const = 0;
    // Makes the feature layer's selection exactly these features (the first
    // feature layer of that name, groups included).
    virtual void Select(const std::string& layer, const std::vector<std::int32_t>& oids) = 0;

    // The person at the keyboard, installed as the thread's toolkit for the
    // fixture's life: Esc reaches the host's cancel trackers, status texts reach
    // the user, and the user's DoEvents lets the host handle its pending messages.
    scripted::ScriptedUser& User() { return m_user; }
    HostContext& Context() const;

    // Read through host interfaces only.
    std::shared_ptr<host::IMxDocument> Document() const;
    std::shared_ptr<host::IMap> FocusMap() const;
    // The nth (0-based) feature layer of that exact name, depth first through
    // groups, top first; empty when there is none.
    std::shared_ptr<host::IGeoFeatureLayer> FeatureLayer(const std::string& name,
                                                         int nth = 0) const;

  protected:
    // Called once by Build: hooks the user to the host's context. pump handles the
    // host's pending messages (redraws) at each DoEvents of the user.
    void Attach(std::shared_ptr<HostContext> context, std::function<void()> pump);

  private:
    scripted::ScriptedUser m_user;
    ui::ToolkitScope m_scope{m_user};
    std::shared_ptr<HostContext> m_context;
};

struct HostMaker {
    std::string name;
    std::function<std::unique_ptr<HostFixture>()> make;
};

// The hosts this binary links, in the order they registered.
std::vector<HostMaker> Hosts();
// Each implementation registers itself once, from a static object:
//   const bool registered = RegisterHost({"memory", [] { return std::make_unique<X>(); }});
bool RegisterHost(HostMaker maker);

// Test names: the host's name, then the case's own name for tables.
std::string HostName(const ::testing::TestParamInfo<HostMaker>& info);
template <class Case>
std::string HostCaseName(const ::testing::TestParamInfo<std::tuple<HostMaker, Case>>& info) {
    return std::get<0>(info.param).name + "_" + std::string(std::get<1>(info.param).name);
}
void PrintTo(const HostMaker& maker, std::ostream* out);

// ---- Reading what a host holds ------------------------------------------------------

// Of the calls an observer listed, those naming one of `steps`, each at its first
// call only, in the order met: a run's steps in the order it took them.
std::vector<std::string> FirstCallsOf(const std::vector<std::string>& steps,
                                      const std::vector<std::string>& calls);

// A symbol as the suites compare it: kind, style, size and colour.
struct SymbolLook {
    SymbolPlan::Kind kind = SymbolPlan::Kind::Other;
    std::int32_t style = -1;
    double size = 0;  // marker size, line width; 0 for fills and others
    std::shared_ptr<host::IColor> color;
};
SymbolLook Look(const std::shared_ptr<host::ISymbol>& symbol);

// What a renderer holds, as text, so two readings of one renderer compare equal
// on a host that gives a new object per reading and two different renderers do
// not.
std::string DescribeRenderer(const std::shared_ptr<host::IFeatureRenderer>& renderer);

}  // namespace velorin::testing
