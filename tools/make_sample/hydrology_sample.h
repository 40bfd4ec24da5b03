#pragma once

#include <filesystem>

namespace velorin::sample {

// The files of the hydrology sample.
struct SampleFiles {
    std::filesystem::path dataSet;   // <folder>/hydrology.gpkg
    std::filesystem::path document;  // <folder>/hydrology.json
};

// Writes the hydrology sample into folder (created when missing), replacing earlier
// copies. Every run writes the same features, attributes and document.
//
// The data: a 5 x 4 tiling of irregular "Catchment" polygons (NerroID,
// NextDownID, WatershedID, Name, AreaKm2) whose water runs south and then along
// the bottom row to one outlet per watershed (NextDownID 0 there); one
// "NerroJunction" point per catchment (JunctionID, NerroID) at its outlet, on the
// edge it drains through; two "Watershed" polygons (WatershedID, Name) that are
// the outlines of their catchments; "Waterbody" lakes (WaterbodyID, Name,
// NerroID), one with an island; "MonitoringPoint" points (FeatureID, Name,
// NerroID, InstalledOn, one date unknown). Coordinates in metres, UTM zone 32N.
//
// The document lists MonitoringPoint, NerroJunction, Watershed, Waterbody and
// Catchment from the top, draws Catchment with a unique value renderer on NerroID
// in distinct colours and the others with simple renderers, and shows everything.
// Raises velorin::Error naming the file that could not be written.
SampleFiles WriteHydrologySample(const std::filesystem::path& folder);

}  // namespace velorin::sample
