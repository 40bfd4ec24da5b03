#pragma once

#include <filesystem>

#include "platform/gdal/map_document.h"

namespace velorin::app {

// Opens what the person named: a map document, or any vector data set as a map
// of its own, drawn on a QImage screen of width x height pixels. A ".json" file
// that does not declare itself a map document is read as a data set (GeoJSON);
// when it is neither, the error says so with GDAL's complaint. Raises
// velorin::Error naming the file; nothing half-opened stays.
// locate is asked for a data file a map document names that is missing.
gdal::MapDocument OpenMap(const std::filesystem::path& file, int width, int height,
                          const gdal::LocateDataFile& locate = {});

// True when the file declares itself a map document (its format key appears near
// the start); false for anything else, an unreadable file included.
bool LooksLikeMapDocument(const std::filesystem::path& file);

}  // namespace velorin::app
