#include "platform/objects/symbols.h"

#include <atomic>
#include <cmath>
#include <string>
#include <typeinfo>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::objects {

namespace {

std::atomic<std::uint64_t> g_shapeChanges{0};

std::int32_t CheckComponent(std::int32_t value, const char* name) {
    if (value < 0 || value > 255) {
        throw Error(host::E_HOST_INVALIDARG,
                    std::string(name) + " must be 0 to 255, not " + std::to_string(value));
    }
    return value;
}

void CheckStyle(std::int32_t style, std::int32_t last, const char* kind) {
    if (style < 0 || style > last) {
        throw Error(host::E_HOST_INVALIDARG,
                    std::string(kind) + " style " + std::to_string(style) + " does not exist");
    }
}

void CheckPoints(double value, const char* what) {
    if (!std::isfinite(value) || value < 0) {
        throw Error(host::E_HOST_INVALIDARG,
                    std::string(what) + " must be a finite number of points, not negative");
    }
}

void CheckColor(const std::shared_ptr<host::IColor>& color) {
    if (!color) throw Error(host::E_HOST_POINTER, "A symbol needs a colour object");
}

// A copy of the colour that shares nothing with it. The host's own colours copy
// without announcing a call: cloning a symbol is one call, not two.
std::shared_ptr<host::IColor> CopyColor(const std::shared_ptr<host::IColor>& color) {
    if (!color) return color;
    if (auto rgb = std::dynamic_pointer_cast<RgbColor>(color)) {
        return std::make_shared<RgbColor>(*rgb);
    }
    if (auto clone = host::As<host::IClone>(color)) {
        if (auto copy = host::As<host::IColor>(clone->Clone())) return copy;
    }
    return color;
}

std::shared_ptr<host::ILineSymbol> CopyLine(const std::shared_ptr<host::ILineSymbol>& line) {
    if (!line) return line;
    if (auto simple = std::dynamic_pointer_cast<SimpleLineSymbol>(line)) return simple->Copy();
    if (auto clone = host::As<host::IClone>(line)) {
        if (auto copy = host::As<host::ILineSymbol>(clone->Clone())) return copy;
    }
    return line;
}

}  // namespace

std::uint64_t SymbolShapeChanges() { return g_shapeChanges.load(std::memory_order_relaxed); }

// ---- RgbColor --------------------------------------------------------------------

RgbColor::RgbColor(std::shared_ptr<HostContext> context, std::int32_t red, std::int32_t green,
                   std::int32_t blue)
    : m_context(std::move(context)),
      m_red(CheckComponent(red, "Red")),
      m_green(CheckComponent(green, "Green")),
      m_blue(CheckComponent(blue, "Blue")) {}

std::int32_t RgbColor::RGB() const {
    Announce(m_context, "IColor::RGB");
    return m_red | (m_green << 8) | (m_blue << 16);
}
std::int32_t RgbColor::Red() const {
    Announce(m_context, "IRgbColor::Red");
    return m_red;
}
std::int32_t RgbColor::Green() const {
    Announce(m_context, "IRgbColor::Green");
    return m_green;
}
std::int32_t RgbColor::Blue() const {
    Announce(m_context, "IRgbColor::Blue");
    return m_blue;
}
void RgbColor::SetRed(std::int32_t value) {
    Announce(m_context, "IRgbColor::Red");
    m_red = CheckComponent(value, "Red");
}
void RgbColor::SetGreen(std::int32_t value) {
    Announce(m_context, "IRgbColor::Green");
    m_green = CheckComponent(value, "Green");
}
void RgbColor::SetBlue(std::int32_t value) {
    Announce(m_context, "IRgbColor::Blue");
    m_blue = CheckComponent(value, "Blue");
}
std::shared_ptr<host::IClone> RgbColor::Clone() const {
    Announce(m_context, "IClone::Clone");
    return std::make_shared<RgbColor>(*this);
}

std::shared_ptr<RgbColor> MakeRgbColor(std::shared_ptr<HostContext> context, std::int32_t red,
                                       std::int32_t green, std::int32_t blue) {
    return std::make_shared<RgbColor>(std::move(context), red, green, blue);
}

// ---- SymbolBase ------------------------------------------------------------------

SymbolBase::SymbolBase(std::shared_ptr<HostContext> context) : m_context(std::move(context)) {}

void SymbolBase::Enter(const char* member) const { Announce(m_context, member); }

std::int32_t SymbolBase::ROP2() const {
    Enter("ISymbol::ROP2");
    return m_rop2;
}

void SymbolBase::SetROP2(std::int32_t rop2) {
    Enter("ISymbol::ROP2");
    if (rop2 < host::esriROPBlack || rop2 > host::esriROPWhite) {
        throw Error(host::E_HOST_INVALIDARG,
                    "Raster operation " + std::to_string(rop2) + " does not exist (1 to 16)");
    }
    m_rop2 = rop2;
}

// ---- SimpleMarkerSymbol ------------------------------------------------------------

SimpleMarkerSymbol::SimpleMarkerSymbol(std::shared_ptr<HostContext> context)
    : SymbolBase(context), m_color(std::make_shared<RgbColor>(context)) {}

std::shared_ptr<host::IColor> SimpleMarkerSymbol::Color() const {
    Enter("IMarkerSymbol::Color");
    return m_color;
}
void SimpleMarkerSymbol::SetColor(const std::shared_ptr<host::IColor>& color) {
    Enter("IMarkerSymbol::Color");
    CheckColor(color);
    m_color = color;
}
double SimpleMarkerSymbol::Size() const {
    Enter("IMarkerSymbol::Size");
    return m_size;
}
void SimpleMarkerSymbol::SetSize(double size) {
    ++g_shapeChanges;
    Enter("IMarkerSymbol::Size");
    CheckPoints(size, "A marker size");
    m_size = size;
}
std::int32_t SimpleMarkerSymbol::Style() const {
    Enter("ISimpleMarkerSymbol::Style");
    return m_style;
}
void SimpleMarkerSymbol::SetStyle(std::int32_t style) {
    ++g_shapeChanges;
    Enter("ISimpleMarkerSymbol::Style");
    CheckStyle(style, host::esriSMSDiamond, "Marker");
    m_style = style;
}
std::shared_ptr<host::IClone> SimpleMarkerSymbol::Clone() const {
    Enter("IClone::Clone");
    return Copy();
}

std::shared_ptr<SimpleMarkerSymbol> SimpleMarkerSymbol::Copy() const {
    auto copy = std::make_shared<SimpleMarkerSymbol>(*this);
    copy->m_color = CopyColor(m_color);
    return copy;
}

// ---- SimpleLineSymbol --------------------------------------------------------------

SimpleLineSymbol::SimpleLineSymbol(std::shared_ptr<HostContext> context)
    : SymbolBase(context), m_color(std::make_shared<RgbColor>(context)) {}

std::shared_ptr<host::IColor> SimpleLineSymbol::Color() const {
    Enter("ILineSymbol::Color");
    return m_color;
}
void SimpleLineSymbol::SetColor(const std::shared_ptr<host::IColor>& color) {
    Enter("ILineSymbol::Color");
    CheckColor(color);
    m_color = color;
}
double SimpleLineSymbol::Width() const {
    Enter("ILineSymbol::Width");
    return m_width;
}
void SimpleLineSymbol::SetWidth(double width) {
    ++g_shapeChanges;
    Enter("ILineSymbol::Width");
    CheckPoints(width, "A line width");
    m_width = width;
}
std::int32_t SimpleLineSymbol::Style() const {
    Enter("ISimpleLineSymbol::Style");
    return m_style;
}
void SimpleLineSymbol::SetStyle(std::int32_t style) {
    ++g_shapeChanges;
    Enter("ISimpleLineSymbol::Style");
    CheckStyle(style, host::esriSLSInsideFrame, "Line");
    m_style = style;
}
std::shared_ptr<host::IClone> SimpleLineSymbol::Clone() const {
    Enter("IClone::Clone");
    return Copy();
}

std::shared_ptr<SimpleLineSymbol> SimpleLineSymbol::Copy() const {
    auto copy = std::make_shared<SimpleLineSymbol>(*this);
    copy->m_color = CopyColor(m_color);
    return copy;
}

// ---- SimpleFillSymbol --------------------------------------------------------------

SimpleFillSymbol::SimpleFillSymbol(std::shared_ptr<HostContext> context)
    : SymbolBase(context),
      m_color(std::make_shared<RgbColor>(context, 128, 128, 128)),
      m_outline(std::make_shared<SimpleLineSymbol>(context)) {}

std::shared_ptr<host::IColor> SimpleFillSymbol::Color() const {
    Enter("IFillSymbol::Color");
    return m_color;
}
void SimpleFillSymbol::SetColor(const std::shared_ptr<host::IColor>& color) {
    Enter("IFillSymbol::Color");
    CheckColor(color);
    m_color = color;
}
std::shared_ptr<host::ILineSymbol> SimpleFillSymbol::Outline() const {
    Enter("IFillSymbol::Outline");
    return m_outline;
}
void SimpleFillSymbol::SetOutline(const std::shared_ptr<host::ILineSymbol>& outline) {
    ++g_shapeChanges;
    Enter("IFillSymbol::Outline");
    m_outline = outline;
}
std::int32_t SimpleFillSymbol::Style() const {
    Enter("ISimpleFillSymbol::Style");
    return m_style;
}
void SimpleFillSymbol::SetStyle(std::int32_t style) {
    ++g_shapeChanges;
    Enter("ISimpleFillSymbol::Style");
    CheckStyle(style, host::esriSFSDiagonalCross, "Fill");
    m_style = style;
}
std::shared_ptr<host::IClone> SimpleFillSymbol::Clone() const {
    Enter("IClone::Clone");
    return Copy();
}

std::shared_ptr<SimpleFillSymbol> SimpleFillSymbol::Copy() const {
    auto copy = std::make_shared<SimpleFillSymbol>(*this);
    copy->m_color = CopyColor(m_color);
    copy->m_outline = CopyLine(m_outline);
    return copy;
}

// ---- PictureMarkerSymbol -----------------------------------------------------------

PictureMarkerSymbol::PictureMarkerSymbol(std::shared_ptr<HostContext> context)
    : SymbolBase(context), m_color(std::make_shared<RgbColor>(context)) {}

std::shared_ptr<host::IColor> PictureMarkerSymbol::Color() const {
    Enter("IMarkerSymbol::Color");
    return m_color;
}
void PictureMarkerSymbol::SetColor(const std::shared_ptr<host::IColor>& color) {
    Enter("IMarkerSymbol::Color");
    CheckColor(color);
    m_color = color;
}
double PictureMarkerSymbol::Size() const {
    Enter("IMarkerSymbol::Size");
    return m_size;
}
void PictureMarkerSymbol::SetSize(double size) {
    ++g_shapeChanges;
    Enter("IMarkerSymbol::Size");
    CheckPoints(size, "A marker size");
    m_size = size;
}
std::shared_ptr<host::IClone> PictureMarkerSymbol::Clone() const {
    Enter("IClone::Clone");
    return Copy();
}

std::shared_ptr<PictureMarkerSymbol> PictureMarkerSymbol::Copy() const {
    auto copy = std::make_shared<PictureMarkerSymbol>(*this);
    copy->m_color = CopyColor(m_color);
    return copy;
}

// ---- HeldColor ---------------------------------------------------------------------

const host::IColor* HeldColor(const host::ISymbol& symbol) {
    const std::type_info& type = typeid(symbol);
    // The whole object is of the type compared with: its address is one to it.
    const void* whole = dynamic_cast<const void*>(&symbol);
    if (type == typeid(SimpleMarkerSymbol)) {
        return static_cast<const SimpleMarkerSymbol*>(whole)->HeldColor();
    }
    if (type == typeid(SimpleFillSymbol)) {
        return static_cast<const SimpleFillSymbol*>(whole)->HeldColor();
    }
    if (type == typeid(SimpleLineSymbol)) {
        return static_cast<const SimpleLineSymbol*>(whole)->HeldColor();
    }
    if (type == typeid(PictureMarkerSymbol)) {
        return static_cast<const PictureMarkerSymbol*>(whole)->HeldColor();
    }
    return nullptr;
}

}  // namespace velorin::objects
