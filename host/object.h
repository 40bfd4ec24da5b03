#pragma once

#include <memory>
#include <string>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::host {

// The root of every host interface. One host object may implement several
// interfaces (a layer is an ILayer, an IFeatureLayer and an IGeoFeatureLayer);
// asking for another interface is a dynamic_pointer_cast, spelled As<I>(p).
// Lifetimes are shared: every reference is a std::shared_ptr, "nothing" is empty.
class IUnknown {
  public:
    virtual ~IUnknown() = default;
};

template <class I, class P>
std::shared_ptr<I> As(const std::shared_ptr<P>& object) {
    return std::dynamic_pointer_cast<I>(object);
}

template <class I, class P>
bool Supports(const std::shared_ptr<P>& object) {
    return std::dynamic_pointer_cast<I>(object) != nullptr;
}

// As<I>, but an absent object or a missing interface raises the host's
// "no such interface" failure, as a query for an interface does in the host.
template <class I, class P>
std::shared_ptr<I> Require(const std::shared_ptr<P>& object, const char* interfaceName) {
    auto result = std::dynamic_pointer_cast<I>(object);
    if (!result) {
        throw Error(object ? E_HOST_NOINTERFACE : E_HOST_POINTER,
                    object
                        ? std::string("No such interface supported: ") + interfaceName
                        : std::string("Object variable not set (expected ") + interfaceName + ")");
    }
    return result;
}

}  // namespace velorin::host
