#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/map.h"

namespace velorin::host {

class IDocument : public virtual IUnknown {
  public:
    virtual std::string Title() const = 0;
};

class IMxDocument : public virtual IUnknown {
  public:
    // The map that has the focus; empty only in a document without maps.
    virtual std::shared_ptr<IMap> FocusMap() const = 0;
    virtual std::shared_ptr<IActiveView> ActiveView() const = 0;
    // Tells the table of contents that layers or their legends changed.
    virtual void UpdateContents() = 0;
};

class IProgressor : public virtual IUnknown {
  public:
    virtual std::string Message() const = 0;
    virtual void SetMessage(const std::string& message) = 0;
    virtual void Show() = 0;
    virtual void Step() = 0;
    virtual void Hide() = 0;
};

class IStepProgressor : public virtual IProgressor {
  public:
    virtual std::int32_t MinRange() const = 0;
    virtual void SetMinRange(std::int32_t value) = 0;
    virtual std::int32_t MaxRange() const = 0;
    virtual void SetMaxRange(std::int32_t value) = 0;
    virtual std::int32_t StepValue() const = 0;
    virtual void SetStepValue(std::int32_t value) = 0;
    virtual std::int32_t Position() const = 0;
    virtual void SetPosition(std::int32_t value) = 0;
};

class IStatusBar : public virtual IUnknown {
  public:
    virtual std::string Message(std::int32_t pane) const = 0;
    virtual void SetMessage(std::int32_t pane, const std::string& text) = 0;
    virtual std::shared_ptr<IStepProgressor> ProgressBar() const = 0;
};

class ITrackCancel : public virtual IUnknown {
  public:
    // False when the user pressed Esc since the last time any tracker asked; each
    // press is reported once, to whichever tracker asks first.
    virtual bool Continue() = 0;
};

// Creates the host objects that the extension makes new. A host's own classes
// are never named outside the host.
class IObjectFactory : public virtual IUnknown {
  public:
    virtual std::shared_ptr<ITrackCancel> NewCancelTracker() = 0;
    virtual std::shared_ptr<IQueryFilter> NewQueryFilter() = 0;
    virtual std::shared_ptr<ISet> NewSet() = 0;
    // A new empty bag; it is also an IGeometry (type esriGeometryBag).
    virtual std::shared_ptr<IGeometryCollection> NewGeometryBag() = 0;
    virtual std::shared_ptr<ISimpleMarkerSymbol> NewSimpleMarkerSymbol() = 0;
    virtual std::shared_ptr<ISimpleLineSymbol> NewSimpleLineSymbol() = 0;
    virtual std::shared_ptr<ISimpleFillSymbol> NewSimpleFillSymbol() = 0;
    virtual std::shared_ptr<IRgbColor> NewRgbColor() = 0;
    virtual std::shared_ptr<IUniqueValueRenderer> NewUniqueValueRenderer() = 0;
    virtual std::shared_ptr<IRendererPropertyPage> NewUniqueValuePropertyPage() = 0;
};

class IApplication : public virtual IUnknown {
  public:
    virtual std::shared_ptr<IDocument> Document() const = 0;
    virtual std::shared_ptr<IStatusBar> StatusBar() const = 0;
    virtual std::shared_ptr<IObjectFactory> ObjectFactory() const = 0;
};

}  // namespace velorin::host
