#pragma once

#include <string_view>

// Every text the Zoom and Flash run, engine and per-feature step show, in one
// place. They are shown exactly as written here, double spaces included.
namespace velorin::zoomflash::text {

inline constexpr std::string_view kFinished = "Finished with Zoom and Flash Operation";

// Engine validation.
inline constexpr std::string_view kCouldNotFind = "Could not find ";
inline constexpr std::string_view kFeatureClassMissingFor = "Feature class missing for ";
inline constexpr std::string_view kMapNotFound = "Reference to Map not found";
inline constexpr std::string_view kRelatedInfoRequired =
    "When specifying a source key field, a related layer and key field must also be specified";
inline constexpr std::string_view kSourceTimeNegative =
    "A non-negative value must be used for the source feature flash time";
inline constexpr std::string_view kRelatedTimeNegative =
    "A non-negative value must be used for the related feature flash time";
inline constexpr std::string_view kInvalidMethod = "Invalid Flash Method";
inline constexpr std::string_view kZoomFactorNegative = "Envelope zoom factor cannot be negative";
inline constexpr std::string_view kZoomWidthNegative = "Point zoom value cannot be negative";
inline constexpr std::string_view kEmptySourceSet = "No features supplied in Source Set";

// The pause box: kPausedAt + layer + kOidIs + object id + kClickOk.
inline constexpr std::string_view kPausedTitle = "Paused";
inline constexpr std::string_view kPausedAt = "Paused at ";
inline constexpr std::string_view kOidIs = " OID = ";
inline constexpr std::string_view kClickOk = ".  Click OK to continue.";

// Per-feature lookups: kCouldNotFind + field + kFieldInSourceFeature, and
// kCouldNotFind + field + kFieldIn + layer.
inline constexpr std::string_view kFieldInSourceFeature = " field in source feature";
inline constexpr std::string_view kFieldIn = " field in ";

// The status text: kZoomingTo + object id + kHitEsc.
inline constexpr std::string_view kZoomingTo = "Zooming to Source Feature OID = ";
inline constexpr std::string_view kHitEsc = " ..Hit Esc to Pause";

}  // namespace velorin::zoomflash::text
