#include "tests/support/host_fixture.h"

#include <algorithm>
#include <ostream>
#include <sstream>
#include <variant>

namespace velorin::testing {

namespace {

std::vector<HostMaker>& Registry() {
    static std::vector<HostMaker> hosts;
    return hosts;
}

// Depth first through groups, top first, counting layers of the name.
std::shared_ptr<host::IGeoFeatureLayer> FindNth(const std::shared_ptr<host::ILayer>& layer,
                                                const std::string& name, int& remaining) {
    if (!layer) return {};
    if (const auto group = host::As<host::ICompositeLayer>(layer)) {
        for (std::int32_t i = 0; i < group->Count(); ++i) {
            if (auto found = FindNth(group->Layer(i), name, remaining)) return found;
        }
        return {};
    }
    const auto feature = host::As<host::IGeoFeatureLayer>(layer);
    if (!feature || feature->Name() != name) return {};
    if (remaining-- > 0) return {};
    return feature;
}

const char* KindName(SymbolPlan::Kind kind) {
    switch (kind) {
        case SymbolPlan::Kind::Marker:
            return "marker";
        case SymbolPlan::Kind::Line:
            return "line";
        case SymbolPlan::Kind::Fill:
            return "fill";
        case SymbolPlan::Kind::Other:
            break;
    }
    return "other";
}

void DescribeSymbol(std::ostream& out, const std::shared_ptr<host::ISymbol>& symbol) {
    if (!symbol) {
        out << "none";
        return;
    }
    const SymbolLook look = Look(symbol);
    out << KindName(look.kind) << " style " << look.style << " size " << look.size;
    if (look.color) {
        const Color c = ColorOf(look.color);
        out << " rgb " << c.red << "," << c.green << "," << c.blue;
    }
}

}  // namespace

HostFixture::HostFixture() = default;

HostFixture::~HostFixture() {
    // A dialog kept in a per-thread slot may hold the host's application beyond
    // the fixture, and must not reach a user that is gone.
    if (m_context) {
        m_context->hooks.takeEscPress = nullptr;
        m_context->hooks.statusChanged = nullptr;
    }
}

void HostFixture::Attach(std::shared_ptr<HostContext> context, std::function<void()> pump) {
    m_context = std::move(context);
    m_context->recordProgress = true;
    m_context->hooks.takeEscPress = [this] { return m_user.TakeEscPress(); };
    m_context->hooks.statusChanged = [this](std::string_view text) { m_user.NoteStatusText(text); };
    m_user.OnEvent([pump = std::move(pump)](const scripted::Event& event) {
        if (std::holds_alternative<scripted::DoEventsRecord>(event)) pump();
    });
}

HostContext& HostFixture::Context() const {
    if (!m_context) throw Error(host::E_HOST_POINTER, "The host fixture is not built yet");
    return *m_context;
}

std::shared_ptr<host::IMxDocument> HostFixture::Document() const {
    return host::Require<host::IMxDocument>(Application()->Document(), "IMxDocument");
}

std::shared_ptr<host::IMap> HostFixture::FocusMap() const { return Document()->FocusMap(); }

std::shared_ptr<host::IGeoFeatureLayer> HostFixture::FeatureLayer(const std::string& name,
                                                                  int nth) const {
    // The test's own reading: not the extension calling, so it must not shift
    // the call counts a test aims an injected fault at.
    const objects::QuietHost quiet{m_context};
    const auto map = FocusMap();
    int remaining = nth;
    for (std::int32_t i = 0; i < map->LayerCount(); ++i) {
        if (auto found = FindNth(map->Layer(i), name, remaining)) return found;
    }
    return {};
}

std::vector<HostMaker> Hosts() { return Registry(); }

bool RegisterHost(HostMaker maker) {
    Registry().push_back(std::move(maker));
    return true;
}

std::string HostName(const ::testing::TestParamInfo<HostMaker>& info) { return info.param.name; }

void PrintTo(const HostMaker& maker, std::ostream* out) { *out << maker.name; }

Color ScreenShot::At(double x, double y) const {
    const auto column = static_cast<int>(originX + scaleX * x);
    const auto row = static_cast<int>(originY + scaleY * y);
    if (column < 0 || row < 0 || column >= width || row >= height) return {};
    const std::uint32_t pixel = pixels[static_cast<std::size_t>(row) * width + column];
    return {static_cast<std::int32_t>((pixel >> 16) & 0xFF),
            static_cast<std::int32_t>((pixel >> 8) & 0xFF),
            static_cast<std::int32_t>(pixel & 0xFF)};
}

SymbolLook Look(const std::shared_ptr<host::ISymbol>& symbol) {
    if (const auto marker = host::As<host::ISimpleMarkerSymbol>(symbol)) {
        return {SymbolPlan::Kind::Marker, marker->Style(), marker->Size(), marker->Color()};
    }
    if (const auto line = host::As<host::ISimpleLineSymbol>(symbol)) {
        return {SymbolPlan::Kind::Line, line->Style(), line->Width(), line->Color()};
    }
    if (const auto fill = host::As<host::ISimpleFillSymbol>(symbol)) {
        return {SymbolPlan::Kind::Fill, fill->Style(), 0, fill->Color()};
    }
    return {SymbolPlan::Kind::Other, -1, 0, nullptr};
}

std::string DescribeRenderer(const std::shared_ptr<host::IFeatureRenderer>& renderer) {
    std::ostringstream out;
    if (!renderer) return "none";
    if (const auto simple = host::As<host::ISimpleRenderer>(renderer)) {
        out << "simple: ";
        DescribeSymbol(out, simple->Symbol());
        return out.str();
    }
    const auto unique = host::As<host::IUniqueValueRenderer>(renderer);
    if (!unique) return "other";
    out << "unique values on";
    for (std::int32_t i = 0; i < unique->FieldCount(); ++i) {
        out << " " << unique->Field(i) << (unique->FieldType(i) ? " (text)" : "");
    }
    out << "; default " << (unique->UseDefaultSymbol() ? "used " : "unused ");
    DescribeSymbol(out, unique->DefaultSymbol());
    for (std::int32_t i = 0; i < unique->ValueCount(); ++i) {
        const std::string value = unique->Value(i);
        out << "; '" << value << "' " << unique->Label(value) << ": ";
        DescribeSymbol(out, unique->Symbol(value));
    }
    return out.str();
}

std::vector<std::string> FirstCallsOf(const std::vector<std::string>& steps,
                                      const std::vector<std::string>& calls) {
    std::vector<std::string> first;
    for (const std::string& call : calls) {
        if (std::find(steps.begin(), steps.end(), call) != steps.end() &&
            std::find(first.begin(), first.end(), call) == first.end()) {
            first.push_back(call);
        }
    }
    return first;
}

}  // namespace velorin::testing
