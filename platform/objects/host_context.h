#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/data.h"

namespace velorin::objects {

// Watches the calls the extension makes on a host's objects: counts them, lists
// them in order when asked, and makes chosen ones fail, so tests can show that
// every failure of the host ends a run the same way and that a tool asks the
// host in the order it must. Each member of a host object (of either host)
// announces itself with Enter("IInterface::Member") before it does anything; a
// rule that matches raises velorin::Error(code, description) there, and the call
// changes nothing.
class FaultInjector {
  public:
    // Fails the nth call (1-based, counted from now) of the member, or of any
    // member when member is empty. Each rule fires once.
    void FailAt(std::string member, int nth, std::int32_t code, std::string description);
    void Clear();
    // Counts the call and raises when a rule fires.
    void Enter(std::string_view member);
    // Calls announced since construction, those inside a quiet scope aside.
    int CallCount() const { return m_total; }
    // While on, every call counted is also listed, in order (off by default: a
    // walk over a million features would list millions).
    void LogCalls(bool on) { m_logging = on; }
    const std::vector<std::string>& Calls() const { return m_calls; }

    // While a scope lives, Enter neither counts nor fires: the host's own work (a
    // map redraw reading layers, features and symbols) is not the extension
    // calling, and must not shift the count a test aims its rule at.
    class QuietScope {
      public:
        explicit QuietScope(FaultInjector& faults) : m_faults(faults) { ++m_faults.m_quiet; }
        ~QuietScope() { --m_faults.m_quiet; }
        QuietScope(const QuietScope&) = delete;
        QuietScope& operator=(const QuietScope&) = delete;
        QuietScope(QuietScope&&) = delete;
        QuietScope& operator=(QuietScope&&) = delete;

      private:
        FaultInjector& m_faults;
    };

  private:
    struct Rule {
        std::string member;
        int remaining;
        std::int32_t code;
        std::string description;
    };
    std::vector<Rule> m_rules;
    std::vector<std::string> m_calls;
    bool m_logging = false;
    int m_total = 0;
    int m_quiet = 0;
};

// One drawing call made on the screen display by the extension (not the map's
// own redraw).
struct DrawRecord {
    std::string operation;      // "DrawPoint", "DrawMultipoint", "DrawPolyline", "DrawPolygon"
    std::int32_t geometryType;  // esriGeometryType of the geometry drawn
    std::string symbolKind;     // "SimpleMarker", "SimpleLine", "SimpleFill", or another kind
    std::int32_t rgb;           // symbol colour as 0x00BBGGRR, -1 when it has none
    std::int32_t rop2;          // raster operation of the symbol
    double size;                // marker size or line width in points; 0 for fills
};

struct ExtentRecord {
    double xMin, yMin, xMax, yMax;  // as requested by the caller, before fitting
};

struct ProgressRecord {
    std::string event;  // "Show", "Hide", "Step", "Message", "Range", "Position"
    std::int32_t position;
    std::string message;
};

// What the extension did to the host, in order, for tests and batch runs.
struct HostRecord {
    std::vector<ExtentRecord> extents;
    std::vector<std::string> statusTexts;  // pane 0 texts as set, including ""
    std::vector<ProgressRecord> progress;
    std::vector<DrawRecord> draws;
    int startDrawings = 0;
    int finishDrawings = 0;
    int redraws = 0;          // full map redraws (Refresh, or invalidation then pumping)
    int paints = 0;           // redraws actually drawn: only those someone looked at
    int contentsUpdates = 0;  // UpdateContents calls
    void Clear() { *this = HostRecord{}; }
};

// Observers the application wires up: the toolkit tells whether Esc was pressed
// (each press answered true once), and hears status texts and screen updates.
struct HostHooks {
    std::function<bool()> takeEscPress;                   // empty: Esc is never pressed
    std::function<void(std::string_view)> statusChanged;  // pane 0 text set
    std::function<void()> screenChanged;                  // pixels changed (draw or redraw)
    std::function<void()> progressChanged;                // progress bar shown, moved or hidden
    // The view was marked for redrawing: the application's message pump is to
    // call MapView::ProcessPendingRedraw at its next turn.
    std::function<void()> redrawRequested;
    // IMxDocument::UpdateContents: the contents list is to be refreshed.
    std::function<void()> contentsChanged;
};

// Shared by every object of one host, whichever host it is: the observer (faults
// and the call log), the record tests and batch runs read, and the hooks that tie
// the host to the application around it. Optional: objects made with a null
// context observe nothing and tell no one.
class UniqueValueRenderer;

// Which value of a unique value renderer one of a host's own features matches
// (its index, or the renderer's NoEntry), when the host knows it faster than by
// reading the feature's key values: the reference host works it out once per
// store of rows. UniqueValueRenderer::NotKnown for a feature it does not hold.
using EntryOfFeature =
    std::function<std::int32_t(const host::IFeature&, const UniqueValueRenderer&)>;

struct HostContext {
    FaultInjector faults;
    HostRecord record;
    HostHooks hooks;
    // Empty: every feature's keys are read.
    EntryOfFeature entryOfFeature;
    // Whether every progress change goes into record.progress: a test facility,
    // off unless a test asks for it (a real host keeps no such record, and a walk
    // over a million features would hold a million entries). The progress bar's
    // own state and the progressChanged hook are kept either way.
    bool recordProgress = false;
};

// Objects may be made without a host (a null context); they count nothing.
inline void Announce(const std::shared_ptr<HostContext>& context, std::string_view member) {
    if (context) context->faults.Enter(member);
}

// A FaultInjector::QuietScope over the context's injector, or nothing for a null
// context.
class QuietHost {
  public:
    explicit QuietHost(const std::shared_ptr<HostContext>& context) {
        if (context) m_scope.emplace(context->faults);
    }

  private:
    std::optional<FaultInjector::QuietScope> m_scope;
};

}  // namespace velorin::objects
