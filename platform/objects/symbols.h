#pragma once

#include <cstdint>
#include <memory>

#include "host/geometry.h"
#include "host/symbols.h"
#include "platform/objects/host_context.h"

// The colours and symbols any host hands out. Every member announces itself to the
// context's fault injector first. Setters check their argument and raise
// velorin::Error (E_HOST_INVALIDARG, or E_HOST_POINTER for an empty object)
// without changing anything when it is out of range.
//
// Host defaults for new objects:
//   RgbColor            black (0, 0, 0)
//   SimpleMarkerSymbol  circle, 8 points, black, copy pen (13)
//   SimpleLineSymbol    solid, 1 point, black, copy pen
//   SimpleFillSymbol    solid, grey (128, 128, 128), copy pen, outline a new
//                       solid black line of 1 point
//   PictureMarkerSymbol 16 points, black, copy pen
// Symbols keep the colour object they are given; Clone copies the colour and the
// outline too, so a clone never shares them with the original.
namespace velorin::objects {

// Counts every change of a symbol's size, width, style or outline in the process,
// so that what depends on how far symbols reach (the margin a redraw searches)
// can be kept until one changes.
std::uint64_t SymbolShapeChanges();

class RgbColor final : public host::IRgbColor, public host::IClone {
  public:
    // Components 0..255; raises velorin::Error otherwise.
    explicit RgbColor(std::shared_ptr<HostContext> context, std::int32_t red = 0,
                      std::int32_t green = 0, std::int32_t blue = 0);

    std::int32_t RGB() const override;
    std::int32_t Red() const override;
    std::int32_t Green() const override;
    std::int32_t Blue() const override;
    void SetRed(std::int32_t value) override;
    void SetGreen(std::int32_t value) override;
    void SetBlue(std::int32_t value) override;
    std::shared_ptr<host::IClone> Clone() const override;

  private:
    std::shared_ptr<HostContext> m_context;
    std::int32_t m_red, m_green, m_blue;
};

// A new colour object (for the builder and tests).
std::shared_ptr<RgbColor> MakeRgbColor(std::shared_ptr<HostContext> context, std::int32_t red,
                                       std::int32_t green, std::int32_t blue);

// What every symbol kind of this host shares: its raster operation.
class SymbolBase : public virtual host::ISymbol {
  public:
    std::int32_t ROP2() const override;
    // 1..16, the Windows R2_ numbering.
    void SetROP2(std::int32_t rop2) override;

  protected:
    explicit SymbolBase(std::shared_ptr<HostContext> context);
    void Enter(const char* member) const;

    std::shared_ptr<HostContext> m_context;
    std::int32_t m_rop2 = host::esriROPCopyPen;
};

class SimpleMarkerSymbol final : public SymbolBase,
                                 public host::ISimpleMarkerSymbol,
                                 public host::IClone {
  public:
    explicit SimpleMarkerSymbol(std::shared_ptr<HostContext> context);

    std::shared_ptr<host::IColor> Color() const override;
    void SetColor(const std::shared_ptr<host::IColor>& color) override;
    double Size() const override;
    // Points, finite and not negative.
    void SetSize(double size) override;
    std::int32_t Style() const override;
    // esriSMSCircle (0) to esriSMSDiamond (4).
    void SetStyle(std::int32_t style) override;
    std::shared_ptr<host::IClone> Clone() const override;
    // Clone without announcing a call (the host's own copies).
    std::shared_ptr<SimpleMarkerSymbol> Copy() const;
    // The colour object, not announced and not counted (the host's own reads).
    const host::IColor* HeldColor() const { return m_color.get(); }

  private:
    std::shared_ptr<host::IColor> m_color;
    double m_size = 8.0;
    std::int32_t m_style = host::esriSMSCircle;
};

class SimpleLineSymbol final : public SymbolBase,
                               public host::ISimpleLineSymbol,
                               public host::IClone {
  public:
    explicit SimpleLineSymbol(std::shared_ptr<HostContext> context);

    std::shared_ptr<host::IColor> Color() const override;
    void SetColor(const std::shared_ptr<host::IColor>& color) override;
    double Width() const override;
    // Points, finite and not negative (0 draws one pixel wide).
    void SetWidth(double width) override;
    std::int32_t Style() const override;
    // esriSLSSolid (0) to esriSLSInsideFrame (6).
    void SetStyle(std::int32_t style) override;
    std::shared_ptr<host::IClone> Clone() const override;
    // Clone without announcing a call (the host's own copies).
    std::shared_ptr<SimpleLineSymbol> Copy() const;
    // The colour object, not announced and not counted (the host's own reads).
    const host::IColor* HeldColor() const { return m_color.get(); }

  private:
    std::shared_ptr<host::IColor> m_color;
    double m_width = 1.0;
    std::int32_t m_style = host::esriSLSSolid;
};

class SimpleFillSymbol final : public SymbolBase,
                               public host::ISimpleFillSymbol,
                               public host::IClone {
  public:
    explicit SimpleFillSymbol(std::shared_ptr<HostContext> context);

    std::shared_ptr<host::IColor> Color() const override;
    void SetColor(const std::shared_ptr<host::IColor>& color) override;
    // May be empty: no outline.
    std::shared_ptr<host::ILineSymbol> Outline() const override;
    void SetOutline(const std::shared_ptr<host::ILineSymbol>& outline) override;
    std::int32_t Style() const override;
    // esriSFSSolid (0) to esriSFSDiagonalCross (7).
    void SetStyle(std::int32_t style) override;
    std::shared_ptr<host::IClone> Clone() const override;
    // Clone without announcing a call (the host's own copies).
    std::shared_ptr<SimpleFillSymbol> Copy() const;
    // The colour object, not announced and not counted (the host's own reads).
    const host::IColor* HeldColor() const { return m_color.get(); }

  private:
    std::shared_ptr<host::IColor> m_color;
    std::shared_ptr<host::ILineSymbol> m_outline;
    std::int32_t m_style = host::esriSFSSolid;
};

// A marker drawn from a picture: a marker symbol that is not a simple one. The
// symbol carries no image; a host draws a framed square in the colour.
class PictureMarkerSymbol final : public SymbolBase,
                                  public host::IMarkerSymbol,
                                  public host::IClone {
  public:
    explicit PictureMarkerSymbol(std::shared_ptr<HostContext> context);

    std::shared_ptr<host::IColor> Color() const override;
    void SetColor(const std::shared_ptr<host::IColor>& color) override;
    double Size() const override;
    void SetSize(double size) override;
    std::shared_ptr<host::IClone> Clone() const override;
    // Clone without announcing a call (the host's own copies).
    std::shared_ptr<PictureMarkerSymbol> Copy() const;
    // The colour object, not announced and not counted (the host's own reads).
    const host::IColor* HeldColor() const { return m_color.get(); }

  private:
    std::shared_ptr<host::IColor> m_color;
    double m_size = 16.0;
};

// The colour object a symbol of this host holds, told by the symbol's type alone
// (no search of its bases) and not announced; null for a symbol of another kind
// or of another host.
const host::IColor* HeldColor(const host::ISymbol& symbol);

}  // namespace velorin::objects
