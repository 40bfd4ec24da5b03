#pragma once

#include <cstdint>
#include <memory>

#include "host/object.h"

namespace velorin::host {

class IEnvelope;
class IPoint;

class IClone : public virtual IUnknown {
  public:
    // A new, independent object equal to this one.
    virtual std::shared_ptr<IClone> Clone() const = 0;
};

class IGeometry : public virtual IUnknown {
  public:
    // esriGeometryType code (host/codes.h).
    virtual std::int32_t GeometryType() const = 0;
    // 0 points, 1 lines, 2 areas.
    virtual std::int32_t Dimension() const = 0;
    virtual bool IsEmpty() const = 0;
    // A new envelope (a copy): changing it never changes the geometry.
    virtual std::shared_ptr<IEnvelope> Envelope() const = 0;
};

class IPoint : public virtual IGeometry {
  public:
    virtual double X() const = 0;
    virtual double Y() const = 0;
    virtual void PutCoords(double x, double y) = 0;
};

class IArea : public virtual IUnknown {
  public:
    virtual double Area() const = 0;
    // A new point at the centre of gravity (of an envelope: its centre).
    virtual std::shared_ptr<IPoint> Centroid() const = 0;
};

class IEnvelope : public virtual IGeometry {
  public:
    virtual double XMin() const = 0;
    virtual double YMin() const = 0;
    virtual double XMax() const = 0;
    virtual double YMax() const = 0;
    virtual double ZMin() const = 0;
    virtual double ZMax() const = 0;
    virtual void PutCoords(double xMin, double yMin, double xMax, double yMax) = 0;

    virtual double Width() const = 0;
    virtual double Height() const = 0;
    virtual double Depth() const = 0;
    // Setting a size keeps the lower bound (XMin, YMin, ZMin) and moves the upper one.
    virtual void SetWidth(double width) = 0;
    virtual void SetHeight(double height) = 0;
    virtual void SetDepth(double depth) = 0;

    // Grows or shrinks about the centre. With asRatio the new width is the old one
    // times dx (and height times dy); otherwise dx and dy are added on each side.
    virtual void Expand(double dx, double dy, bool asRatio) = 0;
    // Moves the envelope so that its centre is the point; its size is kept.
    virtual void CenterAt(const std::shared_ptr<IPoint>& point) = 0;
};

// A geometry bag: an ordered collection of geometries.
class IGeometryCollection : public virtual IUnknown {
  public:
    virtual std::int32_t GeometryCount() const = 0;
    virtual std::shared_ptr<IGeometry> Geometry(std::int32_t index) const = 0;
    virtual void AddGeometry(const std::shared_ptr<IGeometry>& geometry) = 0;
    // Adds every geometry of the other collection, in its order.
    virtual void AddGeometries(const std::shared_ptr<IGeometryCollection>& other) = 0;
};

}  // namespace velorin::host
