#pragma once

#include <cstdint>
#include <memory>

#include "host/object.h"

namespace velorin::host {

class IColor : public virtual IUnknown {
  public:
    // The colour as 0x00BBGGRR, as the host packs it.
    virtual std::int32_t RGB() const = 0;
};

class IRgbColor : public virtual IColor {
  public:
    virtual std::int32_t Red() const = 0;
    virtual std::int32_t Green() const = 0;
    virtual std::int32_t Blue() const = 0;
    // Components are 0..255; anything else raises an error.
    virtual void SetRed(std::int32_t value) = 0;
    virtual void SetGreen(std::int32_t value) = 0;
    virtual void SetBlue(std::int32_t value) = 0;
};

class ISymbol : public virtual IUnknown {
  public:
    // Raster operation used when the symbol draws (esriROP... in host/codes.h).
    virtual std::int32_t ROP2() const = 0;
    virtual void SetROP2(std::int32_t rop2) = 0;
};

// Colour setters keep the colour object given (the host's symbols do the same:
// a caller that wants independence clones first).
class IMarkerSymbol : public virtual IUnknown {
  public:
    virtual std::shared_ptr<IColor> Color() const = 0;
    virtual void SetColor(const std::shared_ptr<IColor>& color) = 0;
    // Size in points.
    virtual double Size() const = 0;
    virtual void SetSize(double size) = 0;
};

class ILineSymbol : public virtual IUnknown {
  public:
    virtual std::shared_ptr<IColor> Color() const = 0;
    virtual void SetColor(const std::shared_ptr<IColor>& color) = 0;
    // Width in points.
    virtual double Width() const = 0;
    virtual void SetWidth(double width) = 0;
};

class IFillSymbol : public virtual IUnknown {
  public:
    virtual std::shared_ptr<IColor> Color() const = 0;
    virtual void SetColor(const std::shared_ptr<IColor>& color) = 0;
    // The outline, or empty for none.
    virtual std::shared_ptr<ILineSymbol> Outline() const = 0;
    virtual void SetOutline(const std::shared_ptr<ILineSymbol>& outline) = 0;
};

class ISimpleMarkerSymbol : public virtual IMarkerSymbol {
  public:
    virtual std::int32_t Style() const = 0;
    virtual void SetStyle(std::int32_t style) = 0;
};

class ISimpleLineSymbol : public virtual ILineSymbol {
  public:
    virtual std::int32_t Style() const = 0;
    virtual void SetStyle(std::int32_t style) = 0;
};

class ISimpleFillSymbol : public virtual IFillSymbol {
  public:
    virtual std::int32_t Style() const = 0;
    virtual void SetStyle(std::int32_t style) = 0;
};

}  // namespace velorin::host
