#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/data.h"
#include "host/display.h"
#include "host/renderers.h"

namespace velorin::host {

class ILayer : public virtual IUnknown {
  public:
    virtual std::string Name() const = 0;
    virtual void SetName(const std::string& name) = 0;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool visible) = 0;
};

class IFeatureLayer : public virtual ILayer {
  public:
    // The layer's data, or empty when its data source is missing.
    virtual std::shared_ptr<IFeatureClass> FeatureClass() const = 0;
    // The layer's features: its definition query narrows them, the filter further.
    virtual std::shared_ptr<IFeatureCursor> Search(const std::shared_ptr<IQueryFilter>& filter,
                                                   bool recycling) const = 0;
    virtual std::string DisplayField() const = 0;
    virtual void SetDisplayField(const std::string& field) = 0;
};

class IGeoFeatureLayer : public virtual IFeatureLayer {
  public:
    virtual std::shared_ptr<IFeatureRenderer> Renderer() const = 0;
    virtual void SetRenderer(const std::shared_ptr<IFeatureRenderer>& renderer) = 0;
    virtual std::string RendererPropertyPageClassID() const = 0;
    virtual void SetRendererPropertyPageClassID(const std::string& classId) = 0;
};

class IFeatureLayerDefinition : public virtual IUnknown {
  public:
    virtual std::string DefinitionExpression() const = 0;
    // Raises an error, and keeps the old expression, when the clause cannot be evaluated.
    virtual void SetDefinitionExpression(const std::string& whereClause) = 0;
};

// The selection of a layer (a feature layer also offers it through ITable
// searches of its own definition-query-narrowed rows).
class IFeatureSelection : public virtual IUnknown {
  public:
    virtual std::shared_ptr<ISelectionSet> SelectionSet() const = 0;
};

class ITableSelection : public virtual IUnknown {
  public:
    virtual std::shared_ptr<ISelectionSet> SelectionSet() const = 0;
};

class IRasterLayer : public virtual ILayer {
  public:
    // The raster behind the layer, or empty when it has none.
    virtual std::shared_ptr<IUnknown> Raster() const = 0;
};

// A group layer: layers inside layers.
class ICompositeLayer : public virtual IUnknown {
  public:
    virtual std::int32_t Count() const = 0;
    virtual std::shared_ptr<ILayer> Layer(std::int32_t index) const = 0;
};

class IStandaloneTable : public virtual IUnknown {
  public:
    virtual std::string Name() const = 0;
    // The table behind it, or empty when its data source is missing.
    virtual std::shared_ptr<ITable> Table() const = 0;
};

class IStandaloneTableCollection : public virtual IUnknown {
  public:
    virtual std::int32_t StandaloneTableCount() const = 0;
    virtual std::shared_ptr<IStandaloneTable> StandaloneTable(std::int32_t index) const = 0;
};

class IMap : public virtual IUnknown {
  public:
    virtual std::string Name() const = 0;
    // Top-level layers only; an index out of range raises an error.
    virtual std::int32_t LayerCount() const = 0;
    virtual std::shared_ptr<ILayer> Layer(std::int32_t index) const = 0;
};

class IActiveView : public virtual IUnknown {
  public:
    // The visible extent (a copy).
    virtual std::shared_ptr<IEnvelope> Extent() const = 0;
    // Shows at least the given envelope: the host fits it into the window's aspect
    // ratio about its centre.
    virtual void SetExtent(const std::shared_ptr<IEnvelope>& extent) = 0;
    virtual std::shared_ptr<IScreenDisplay> ScreenDisplay() const = 0;
    // Redraws the whole view now.
    virtual void Refresh() = 0;
};

}  // namespace velorin::host
