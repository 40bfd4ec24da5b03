#include "platform/memory/gdi/gdi_canvas.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// wingdi.h's RGB() would clash with the host object model's IRgbColor::RGB.
#undef RGB

#include <algorithm>
#include <cmath>
#include <string>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::memory {

namespace {

// GDI keeps path points in 28-bit coordinates; far beyond any screen but well
// inside that, a clamped point cannot move what is drawn on the canvas much.
constexpr double kFarthest = 4194304.0;

void CheckSize(int width, int height) {
    if (width < 1 || height < 1 || width > kMaxScreenSide || height > kMaxScreenSide) {
        throw Error(host::E_HOST_INVALIDARG, "A screen of " + std::to_string(width) + " x " +
                                                 std::to_string(height) +
                                                 " pixels is not possible (1 to " +
                                                 std::to_string(kMaxScreenSide) + " on each side)");
    }
}

COLORREF ToColorRef(Rgb color) { return static_cast<COLORREF>(color.ToHost()); }

bool Finite(PixelXY p) { return std::isfinite(p.x) && std::isfinite(p.y); }

int Device(double coordinate) {
    return static_cast<int>(std::lround(std::clamp(coordinate, -kFarthest, kFarthest)));
}

POINT DevicePoint(PixelXY p) { return {Device(p.x), Device(p.y)}; }

// On and off lengths in pen widths, starting with a dash, as the Qt canvas
// draws them. Empty for a solid line.
std::vector<double> DashPattern(LineStyle style) {
    switch (style) {
        case LineStyle::Dash:
            return {4, 2};
        case LineStyle::Dot:
            return {1, 2};
        case LineStyle::DashDot:
            return {4, 2, 1, 2};
        case LineStyle::DashDotDot:
            return {4, 2, 1, 2, 1, 2};
        case LineStyle::Solid:
        case LineStyle::Null:
            break;
    }
    return {};
}

// The dashes of a styled line as solid pieces. Done here rather than by a
// styled GDI pen: Wine's WidenPath draws every geometric pen solid. The
// pattern runs on along a path across its vertices and starts afresh with the
// next path. Paths that are not drawn (too short, not finite) stay out.
std::vector<PixelPath> Dashes(const std::vector<PixelPath>& paths, LineStyle style, double width) {
    const std::vector<double> pattern = DashPattern(style);
    if (pattern.empty()) {
        return paths;
    }
    std::vector<PixelPath> dashes;
    for (const PixelPath& path : paths) {
        if (path.size() < 2 || !std::all_of(path.begin(), path.end(), Finite)) {
            continue;
        }
        std::size_t element = 0;
        double remaining = pattern[0] * width;
        PixelPath dash{path.front()};
        for (std::size_t i = 1; i < path.size(); ++i) {
            const PixelXY a = path[i - 1];
            const PixelXY b = path[i];
            const double length = std::hypot(b.x - a.x, b.y - a.y);
            double along = 0;
            while (length - along > remaining) {
                along += remaining;
                const PixelXY at{a.x + (b.x - a.x) * along / length,
                                 a.y + (b.y - a.y) * along / length};
                const bool wasOn = element % 2 == 0;
                if (wasOn) {
                    dash.push_back(at);
                    dashes.push_back(std::move(dash));
                }
                dash = PixelPath{at};
                element = (element + 1) % pattern.size();
                remaining = pattern[element] * width;
            }
            remaining -= length - along;
            if (element % 2 == 0) {
                dash.push_back(b);
            }
        }
        if (element % 2 == 0 && dash.size() >= 2) {
            dashes.push_back(std::move(dash));
        }
    }
    return dashes;
}

// The GDI hatch of a fill style, or -1 for the styles that are not hatches.
int Hatch(FillStyle style) {
    switch (style) {
        case FillStyle::Horizontal:
            return HS_HORIZONTAL;
        case FillStyle::Vertical:
            return HS_VERTICAL;
        // GDI names its diagonals by the other end: HS_BDIAGONAL rises to the
        // right (/), HS_FDIAGONAL falls to the right (\).
        case FillStyle::ForwardDiagonal:
            return HS_BDIAGONAL;
        case FillStyle::BackwardDiagonal:
            return HS_FDIAGONAL;
        case FillStyle::Cross:
            return HS_CROSS;
        case FillStyle::DiagonalCross:
            return HS_DIAGCROSS;
        case FillStyle::Solid:
        case FillStyle::Hollow:
            break;
    }
    return -1;
}

// Selects a GDI object into the device context for the scope and deletes it
// afterwards when it was made for the occasion.
class Selected {
  public:
    Selected(HDC dc, HGDIOBJ object, bool owned)
        : m_dc(dc), m_object(object), m_owned(owned), m_previous(SelectObject(dc, object)) {}
    ~Selected() {
        SelectObject(m_dc, m_previous);
        if (m_owned) {
            DeleteObject(m_object);
        }
    }
    Selected(const Selected&) = delete;
    Selected(Selected&&) = delete;
    Selected& operator=(const Selected&) = delete;
    Selected& operator=(Selected&&) = delete;

  private:
    HDC m_dc;
    HGDIOBJ m_object;
    bool m_owned;
    HGDIOBJ m_previous;
};

// Adds an open polyline to the path being built; false when it has fewer than
// two points or a point that is not finite (it is then left out).
bool AddPolyline(HDC dc, const PixelPath& path) {
    if (path.size() < 2 || !std::all_of(path.begin(), path.end(), Finite)) {
        return false;
    }
    std::vector<POINT> points;
    points.reserve(path.size());
    for (const PixelXY& p : path) {
        points.push_back(DevicePoint(p));
    }
    MoveToEx(dc, points.front().x, points.front().y, nullptr);
    PolylineTo(dc, points.data() + 1, static_cast<DWORD>(points.size() - 1));
    return true;
}

bool AddRing(HDC dc, const PixelPath& ring) {
    if (ring.size() < 3 || !AddPolyline(dc, ring)) {
        return false;
    }
    CloseFigure(dc);
    return true;
}

double PenWidth(double width) {
    return std::isfinite(width) ? std::clamp(width, 1.0, 4.0 * kMaxScreenSide) : 1.0;
}

// Turns the path into the area a solid pen of `width` pixels covers along it.
void WidenPathBy(HDC dc, double width) {
    LOGBRUSH ink{BS_SOLID, 0, 0};
    HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER,
                            static_cast<DWORD>(std::lround(PenWidth(width))), &ink, 0, nullptr);
    if (pen == nullptr) {
        return;
    }
    const Selected selected(dc, pen, true);
    // A mitre at most four widths long (GDI's default is ten) ends within about
    // twice the width of its vertex, as the other screens' mitres do: the redraw
    // looks that far beyond the window for joins reaching into it.
    SetMiterLimit(dc, 4.0F, nullptr);
    WidenPath(dc);
}

}  // namespace

struct GdiCanvas::Surface {
    Surface(int surfaceWidth, int surfaceHeight) : width(surfaceWidth), height(surfaceHeight) {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down: row 0 is the top
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* memory = nullptr;
        if (dc != nullptr) {
            bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
        }
        if (bitmap == nullptr || memory == nullptr) {
            Release();
            throw Error(host::E_HOST_FAIL, "Cannot make a screen of " + std::to_string(width) +
                                               " x " + std::to_string(height) + " pixels");
        }
        bits = static_cast<std::uint32_t*>(memory);
        previous = SelectObject(dc, bitmap);
        // Shapes keep exactly the pixels their paths enclose, and hatches leave
        // their gaps alone.
        SetBkMode(dc, TRANSPARENT);
        std::fill(bits, bits + Count(), 0U);
    }
    ~Surface() { Release(); }
    Surface(const Surface&) = delete;
    Surface(Surface&&) = delete;
    Surface& operator=(const Surface&) = delete;
    Surface& operator=(Surface&&) = delete;

    std::size_t Count() const {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }

    // Fills the path now built in the device context with a solid colour or a
    // hatch (`hatch` >= 0), by the given fill rule, with the raster operation.
    void FillCurrentPath(Rgb color, int hatch, int fillMode, RasterOp op) const {
        HBRUSH brush = hatch >= 0 ? CreateHatchBrush(hatch, ToColorRef(color))
                                  : CreateSolidBrush(ToColorRef(color));
        if (brush == nullptr) {
            AbortPath(dc);
            return;
        }
        const Selected selectedBrush(dc, brush, true);
        const Selected noOutline(dc, GetStockObject(NULL_PEN), false);
        SetPolyFillMode(dc, fillMode);
        SetROP2(dc, static_cast<int>(op));
        FillPath(dc);
    }

    void Release() noexcept {
        if (dc != nullptr && previous != nullptr) {
            SelectObject(dc, previous);
        }
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
        if (dc != nullptr) {
            DeleteDC(dc);
        }
        dc = nullptr;
        bitmap = nullptr;
        previous = nullptr;
        bits = nullptr;
    }

    int width;
    int height;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    std::uint32_t* bits = nullptr;  // owned by the bitmap; 0x00RRGGBB per pixel
};

GdiCanvas::GdiCanvas(int width, int height) {
    CheckSize(width, height);
    m_surface = std::make_unique<Surface>(width, height);
}

GdiCanvas::~GdiCanvas() = default;

int GdiCanvas::Width() const { return m_surface->width; }
int GdiCanvas::Height() const { return m_surface->height; }

void GdiCanvas::Resize(int width, int height) {
    CheckSize(width, height);
    // Made before the old one goes: a failure leaves the canvas as it was.
    auto surface = std::make_unique<Surface>(width, height);
    m_surface = std::move(surface);
}

void GdiCanvas::Clear(Rgb color) {
    GdiFlush();
    std::fill(m_surface->bits, m_surface->bits + m_surface->Count(), color.ToPixel());
}

void GdiCanvas::SetRasterOp(RasterOp op) { m_op = op; }

void GdiCanvas::StrokePaths(const std::vector<PixelPath>& paths, const LinePen& pen) {
    if (m_op == RasterOp::Nop || pen.style == LineStyle::Null) return;
    HDC dc = m_surface->dc;
    BeginPath(dc);
    bool any = false;
    for (const PixelPath& path : Dashes(paths, pen.style, PenWidth(pen.widthPx))) {
        any = AddPolyline(dc, path) || any;
    }
    EndPath(dc);
    if (!any) {
        AbortPath(dc);
        return;
    }
    WidenPathBy(dc, pen.widthPx);
    // Winding: where widened parts overlap, the area is still filled once.
    m_surface->FillCurrentPath(pen.color, -1, WINDING, m_op);
}

void GdiCanvas::FillRings(const std::vector<PixelPath>& rings, const FillBrush& brush) {
    if (m_op == RasterOp::Nop || brush.style == FillStyle::Hollow) return;
    HDC dc = m_surface->dc;
    BeginPath(dc);
    bool any = false;
    for (const PixelPath& ring : rings) {
        any = AddRing(dc, ring) || any;
    }
    EndPath(dc);
    if (!any) {
        AbortPath(dc);
        return;
    }
    // Even-odd: a ring inside another is a hole.
    m_surface->FillCurrentPath(brush.color, Hatch(brush.style), ALTERNATE, m_op);
}

void GdiCanvas::DrawMarker(PixelXY centre, MarkerShape shape, double sizePx, Rgb color) {
    if (m_op == RasterOp::Nop || !Finite(centre) || !std::isfinite(sizePx) || sizePx <= 0) return;
    const double size = std::clamp(sizePx, 1.0, 4.0 * kMaxScreenSide);
    const double r = size / 2;
    const double cx = centre.x;
    const double cy = centre.y;
    // Line markers draw with a stroke an eighth of their size, at least a pixel.
    const double stroke = std::max(1.0, size / 8);
    HDC dc = m_surface->dc;
    BeginPath(dc);
    switch (shape) {
        case MarkerShape::Circle:
            Ellipse(dc, Device(cx - r), Device(cy - r), Device(cx + r), Device(cy + r));
            break;
        case MarkerShape::Square:
            Rectangle(dc, Device(cx - r), Device(cy - r), Device(cx + r), Device(cy + r));
            break;
        case MarkerShape::Diamond:
            AddRing(dc, {{cx, cy - r}, {cx + r, cy}, {cx, cy + r}, {cx - r, cy}});
            break;
        case MarkerShape::Cross:
            AddPolyline(dc, {{cx - r, cy}, {cx + r, cy}});
            AddPolyline(dc, {{cx, cy - r}, {cx, cy + r}});
            break;
        case MarkerShape::X:
            AddPolyline(dc, {{cx - r, cy - r}, {cx + r, cy + r}});
            AddPolyline(dc, {{cx - r, cy + r}, {cx + r, cy - r}});
            break;
        case MarkerShape::Picture: {
            // No image travels with the reference host's picture markers: a
            // framed square crossed by one diagonal stands for the picture.
            const double inner = r - stroke / 2;
            AddRing(dc, {{cx - inner, cy - inner},
                         {cx + inner, cy - inner},
                         {cx + inner, cy + inner},
                         {cx - inner, cy + inner}});
            AddPolyline(dc, {{cx - inner, cy + inner}, {cx + inner, cy - inner}});
            break;
        }
    }
    EndPath(dc);
    const bool lines =
        shape == MarkerShape::Cross || shape == MarkerShape::X || shape == MarkerShape::Picture;
    if (lines) {
        WidenPathBy(dc, stroke);
    }
    m_surface->FillCurrentPath(color, -1, WINDING, m_op);
}

Rgb GdiCanvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_surface->width || y >= m_surface->height) {
        throw Error(host::E_HOST_INVALIDARG, "Pixel (" + std::to_string(x) + ", " +
                                                 std::to_string(y) + ") is outside the screen");
    }
    GdiFlush();
    const std::size_t at =
        static_cast<std::size_t>(y) * static_cast<std::size_t>(m_surface->width) +
        static_cast<std::size_t>(x);
    return Rgb::FromPixel(m_surface->bits[at] & 0xFFFFFFU);
}

std::vector<std::uint32_t> GdiCanvas::Pixels() const {
    GdiFlush();
    std::vector<std::uint32_t> pixels(m_surface->bits, m_surface->bits + m_surface->Count());
    for (std::uint32_t& pixel : pixels) {
        pixel &= 0xFFFFFFU;
    }
    return pixels;
}

std::unique_ptr<Canvas> MakeGdiCanvas(int width, int height) {
    return std::make_unique<GdiCanvas>(width, height);
}

}  // namespace velorin::memory
