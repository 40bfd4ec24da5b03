#include "platform/memory/clip.h"

#include <cmath>

namespace velorin::memory {

namespace {

// Liang-Barsky: narrows [t0, t1] to the part of a + t (b - a) inside the
// rectangle; false when nothing of the segment is inside.
bool ClipSegment(const XY& a, const XY& b, const ClipRect& rect, double& t0, double& t1) {
    t0 = 0.0;
    t1 = 1.0;
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - rect.xMin, rect.xMax - a.x, a.y - rect.yMin, rect.yMax - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0) {
            if (r > t1) return false;
            if (r > t0) t0 = r;
        } else {
            if (r < t0) return false;
            if (r < t1) t1 = r;
        }
    }
    return true;
}

XY At(const XY& a, const XY& b, double t) {
    if (t <= 0.0) return a;
    if (t >= 1.0) return b;
    return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
}

enum class Edge { Left, Right, Bottom, Top };

bool Inside(const XY& p, Edge edge, const ClipRect& rect) {
    switch (edge) {
        case Edge::Left:
            return p.x >= rect.xMin;
        case Edge::Right:
            return p.x <= rect.xMax;
        case Edge::Bottom:
            return p.y >= rect.yMin;
        case Edge::Top:
            return p.y <= rect.yMax;
    }
    return false;
}

XY Crossing(const XY& a, const XY& b, Edge edge, const ClipRect& rect) {
    switch (edge) {
        case Edge::Left:
        case Edge::Right: {
            const double x = edge == Edge::Left ? rect.xMin : rect.xMax;
            const double t = (x - a.x) / (b.x - a.x);
            return {x, a.y + t * (b.y - a.y)};
        }
        case Edge::Bottom:
        case Edge::Top: {
            const double y = edge == Edge::Bottom ? rect.yMin : rect.yMax;
            const double t = (y - a.y) / (b.y - a.y);
            return {a.x + t * (b.x - a.x), y};
        }
    }
    return a;
}

}  // namespace

std::vector<Path> ClipPath(const Path& path, const ClipRect& rect) {
    std::vector<Path> pieces;
    if (path.size() == 1) {
        double t0 = 0.0, t1 = 0.0;
        if (ClipSegment(path[0], path[0], rect, t0, t1)) pieces.push_back(path);
        return pieces;
    }
    bool open = false;  // the last piece ends where the next segment starts
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        const XY& a = path[i];
        const XY& b = path[i + 1];
        double t0 = 0.0, t1 = 0.0;
        if (!ClipSegment(a, b, rect, t0, t1)) {
            open = false;
            continue;
        }
        if (!open || t0 > 0.0) pieces.push_back(Path{At(a, b, t0)});
        pieces.back().push_back(At(a, b, t1));
        open = t1 >= 1.0;
    }
    return pieces;
}

Path ClipRing(const Path& ring, const ClipRect& rect) {
    Path current = ring;
    for (Edge edge : {Edge::Left, Edge::Right, Edge::Bottom, Edge::Top}) {
        if (current.empty()) break;
        Path next;
        next.reserve(current.size() + 4);
        for (std::size_t i = 0; i < current.size(); ++i) {
            const XY& a = current[i];
            const XY& b = current[(i + 1) % current.size()];
            const bool aIn = Inside(a, edge, rect);
            const bool bIn = Inside(b, edge, rect);
            if (aIn) next.push_back(a);
            if (aIn != bIn) next.push_back(Crossing(a, b, edge, rect));
        }
        current = std::move(next);
    }
    return current.size() >= 3 ? current : Path{};
}

}  // namespace velorin::memory
