#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/data.h"
#include "host/symbols.h"

namespace velorin::host {

class IFeatureRenderer : public virtual IUnknown {
  public:
    // The symbol the renderer draws the feature with, or empty when it draws
    // the feature not at all.
    virtual std::shared_ptr<ISymbol> SymbolByFeature(const std::shared_ptr<IFeature>& feature) = 0;
};

class ISimpleRenderer : public virtual IUnknown {
  public:
    virtual std::shared_ptr<ISymbol> Symbol() const = 0;
    virtual void SetSymbol(const std::shared_ptr<ISymbol>& symbol) = 0;
    virtual std::string Label() const = 0;
    virtual void SetLabel(const std::string& label) = 0;
};

// Values are texts; a feature matches a value when the text form of its key
// field's value (ToText in host/field_value.h) equals the value exactly.
// Members taking a value name a value that must exist, or an error is raised.
class IUniqueValueRenderer : public virtual IUnknown {
  public:
    virtual std::int32_t FieldCount() const = 0;
    virtual void SetFieldCount(std::int32_t count) = 0;
    virtual std::string Field(std::int32_t index) const = 0;
    virtual void SetField(std::int32_t index, const std::string& field) = 0;
    // True when field `index` is a string field.
    virtual bool FieldType(std::int32_t index) const = 0;
    virtual void SetFieldType(std::int32_t index, bool isString) = 0;

    virtual std::shared_ptr<ISymbol> DefaultSymbol() const = 0;
    virtual void SetDefaultSymbol(const std::shared_ptr<ISymbol>& symbol) = 0;
    virtual bool UseDefaultSymbol() const = 0;
    virtual void SetUseDefaultSymbol(bool use) = 0;
    virtual std::string DefaultLabel() const = 0;
    virtual void SetDefaultLabel(const std::string& label) = 0;

    virtual std::int32_t ValueCount() const = 0;
    virtual std::string Value(std::int32_t index) const = 0;
    // Adding a value that is already there raises an error.
    virtual void AddValue(const std::string& value, const std::string& heading,
                          const std::shared_ptr<ISymbol>& symbol) = 0;
    virtual std::string Heading(const std::string& value) const = 0;
    virtual std::string Label(const std::string& value) const = 0;
    virtual void SetLabel(const std::string& value, const std::string& label) = 0;
    virtual std::shared_ptr<ISymbol> Symbol(const std::string& value) const = 0;
    virtual void SetSymbol(const std::string& value, const std::shared_ptr<ISymbol>& symbol) = 0;

    virtual std::string ColorScheme() const = 0;
    virtual void SetColorScheme(const std::string& name) = 0;
};

// A renderer property page object; the layer remembers which page edits its
// renderer by the page's class identifier ("{XXXXXXXX-...}").
class IRendererPropertyPage : public virtual IUnknown {
  public:
    virtual std::string ClassID() const = 0;
};

}  // namespace velorin::host
