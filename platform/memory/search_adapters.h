#pragma once

#include <memory>

#include "host/data.h"
#include "host/map.h"

// ITable::Search and IFeatureClass::Search (or IFeatureLayer::Search) take the same
// arguments and differ only in what they return, so one class cannot override both
// under one name. Each adapter overrides one of them and forwards to a distinctly
// named member; a class that is both derives from both adapters.
namespace velorin::memory {

class TableSearchAdapter : public virtual host::ITable {
  public:
    std::shared_ptr<host::ICursor> Search(const std::shared_ptr<host::IQueryFilter>& filter,
                                          bool recycling) const final {
        return SearchRows(filter, recycling);
    }

  protected:
    virtual std::shared_ptr<host::ICursor> SearchRows(
        const std::shared_ptr<host::IQueryFilter>& filter, bool recycling) const = 0;
};

class FeatureClassSearchAdapter : public virtual host::IFeatureClass {
  public:
    std::shared_ptr<host::IFeatureCursor> Search(const std::shared_ptr<host::IQueryFilter>& filter,
                                                 bool recycling) const final {
        return SearchFeatures(filter, recycling);
    }

  protected:
    virtual std::shared_ptr<host::IFeatureCursor> SearchFeatures(
        const std::shared_ptr<host::IQueryFilter>& filter, bool recycling) const = 0;
};

class FeatureLayerSearchAdapter : public virtual host::IGeoFeatureLayer {
  public:
    std::shared_ptr<host::IFeatureCursor> Search(const std::shared_ptr<host::IQueryFilter>& filter,
                                                 bool recycling) const final {
        return SearchFeatures(filter, recycling);
    }

  protected:
    virtual std::shared_ptr<host::IFeatureCursor> SearchFeatures(
        const std::shared_ptr<host::IQueryFilter>& filter, bool recycling) const = 0;
};

}  // namespace velorin::memory
