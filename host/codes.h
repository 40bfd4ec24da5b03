#pragma once

#include <cstdint>

// The host's numbering of geometry, field and feature types, symbol styles, raster
// operations and screen caches. The extension compares these numerically with the
// values the host reports, so they are plain integers, not enums.
namespace velorin::host {

// Geometry types (esriGeometryType).
inline constexpr std::int32_t esriGeometryNull = 0;
inline constexpr std::int32_t esriGeometryPoint = 1;
inline constexpr std::int32_t esriGeometryMultipoint = 2;
inline constexpr std::int32_t esriGeometryPolyline = 3;
inline constexpr std::int32_t esriGeometryPolygon = 4;
inline constexpr std::int32_t esriGeometryEnvelope = 5;
inline constexpr std::int32_t esriGeometryMultiPatch = 9;
inline constexpr std::int32_t esriGeometryBag = 17;

// Field types (esriFieldType).
inline constexpr std::int32_t esriFieldTypeSmallInteger = 0;
inline constexpr std::int32_t esriFieldTypeInteger = 1;
inline constexpr std::int32_t esriFieldTypeSingle = 2;
inline constexpr std::int32_t esriFieldTypeDouble = 3;
inline constexpr std::int32_t esriFieldTypeString = 4;
inline constexpr std::int32_t esriFieldTypeDate = 5;
inline constexpr std::int32_t esriFieldTypeOID = 6;
inline constexpr std::int32_t esriFieldTypeGeometry = 7;
inline constexpr std::int32_t esriFieldTypeBlob = 8;
inline constexpr std::int32_t esriFieldTypeRaster = 9;
inline constexpr std::int32_t esriFieldTypeGUID = 10;
inline constexpr std::int32_t esriFieldTypeGlobalID = 11;
inline constexpr std::int32_t esriFieldTypeXML = 12;
inline constexpr std::int32_t esriFieldTypeBigInteger = 13;

// Feature types (esriFeatureType).
inline constexpr std::int32_t esriFTSimple = 1;
inline constexpr std::int32_t esriFTSimpleJunction = 7;
inline constexpr std::int32_t esriFTSimpleEdge = 8;
inline constexpr std::int32_t esriFTComplexJunction = 9;
inline constexpr std::int32_t esriFTComplexEdge = 10;
inline constexpr std::int32_t esriFTAnnotation = 11;
inline constexpr std::int32_t esriFTCoverageAnnotation = 12;
inline constexpr std::int32_t esriFTDimension = 13;

// Simple marker styles (esriSimpleMarkerStyle).
inline constexpr std::int32_t esriSMSCircle = 0;
inline constexpr std::int32_t esriSMSSquare = 1;
inline constexpr std::int32_t esriSMSCross = 2;
inline constexpr std::int32_t esriSMSX = 3;
inline constexpr std::int32_t esriSMSDiamond = 4;

// Simple line styles (esriSimpleLineStyle).
inline constexpr std::int32_t esriSLSSolid = 0;
inline constexpr std::int32_t esriSLSDash = 1;
inline constexpr std::int32_t esriSLSDot = 2;
inline constexpr std::int32_t esriSLSDashDot = 3;
inline constexpr std::int32_t esriSLSDashDotDot = 4;
inline constexpr std::int32_t esriSLSNull = 5;
inline constexpr std::int32_t esriSLSInsideFrame = 6;

// Simple fill styles (esriSimpleFillStyle).
inline constexpr std::int32_t esriSFSSolid = 0;
inline constexpr std::int32_t esriSFSHollow = 1;
inline constexpr std::int32_t esriSFSHorizontal = 2;
inline constexpr std::int32_t esriSFSVertical = 3;
inline constexpr std::int32_t esriSFSForwardDiagonal = 4;
inline constexpr std::int32_t esriSFSBackwardDiagonal = 5;
inline constexpr std::int32_t esriSFSCross = 6;
inline constexpr std::int32_t esriSFSDiagonalCross = 7;

// Raster operations of a symbol (esriRasterOpCode), numbered as the Windows R2_ codes.
inline constexpr std::int32_t esriROPBlack = 1;
inline constexpr std::int32_t esriROPNot = 6;
inline constexpr std::int32_t esriROPXOrPen = 7;
inline constexpr std::int32_t esriROPNotXOrPen = 10;
inline constexpr std::int32_t esriROPNOP = 11;
inline constexpr std::int32_t esriROPCopyPen = 13;
inline constexpr std::int32_t esriROPWhite = 16;

// Screen caches (esriScreenCache).
inline constexpr std::int16_t esriNoScreenCache = -1;
inline constexpr std::int16_t esriAllScreenCaches = -2;

// Failure codes of host calls: HRESULTs read as signed 32-bit numbers.
inline constexpr std::int32_t E_HOST_FAIL = static_cast<std::int32_t>(0x80004005U);
inline constexpr std::int32_t E_HOST_NOINTERFACE = static_cast<std::int32_t>(0x80004002U);
inline constexpr std::int32_t E_HOST_INVALIDARG = static_cast<std::int32_t>(0x80070057U);
inline constexpr std::int32_t E_HOST_POINTER = static_cast<std::int32_t>(0x80004003U);
// A where clause the data source cannot evaluate (FDO_E_SE_INVALID_SQL style).
inline constexpr std::int32_t E_HOST_INVALID_SQL = static_cast<std::int32_t>(0x80041051U);

}  // namespace velorin::host
