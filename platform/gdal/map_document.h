#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdal/coordinate_system.h"
#include "platform/memory/canvas.h"
#include "platform/memory/feature_class.h"
#include "platform/memory/reference_host.h"

// Real data and map documents for the reference host.
//
// Every failure raises one velorin::Error (number E_HOST_FAIL) whose description
// names the file and the place: "map.json: layers[2].renderer.symbol.style: unknown
// style "zigzag"", "hydrology.gpkg: layer "Mixed": ...". Loading builds a fresh host
// and hands it over only when complete, so a failed load leaves nothing behind; the
// canvas given to a failed load is destroyed with it.
namespace velorin::gdal {

// Where the rows of a feature class or table were read from.
struct DataSource {
    std::filesystem::path file;  // absolute and lexically normal
    std::string layer;           // the layer's name inside the data set
    friend bool operator==(const DataSource&, const DataSource&) = default;
};

// A feature layer of a document whose data was not there when it opened: its data
// file missing and not located, or the data set without the layer. The layer stays
// in the map, named and without a feature class; what the document said of it
// that needs the data (its query, display field and selection) is kept here, so
// that saving writes it back unchanged.
struct UnavailableLayer {
    DataSource source;
    std::string reason;  // "hydrology.gpkg: no such file"
    std::string definitionQuery;
    std::string displayField;
    std::vector<std::int32_t> selection;
};

// Which data set each feature class and table of a host was read from, so that a
// document can name it. Keeps the objects it lists alive, so an entry can never be
// mistaken for a later object at the same address.
class DataSources {
  public:
    void Add(std::shared_ptr<const memory::FeatureClass> featureClass, DataSource source);
    void Add(std::shared_ptr<const memory::Table> table, DataSource source);
    // Null when the object was not read from a data set.
    const DataSource* Find(const memory::FeatureClass& featureClass) const;
    const DataSource* Find(const memory::Table& table) const;
    // The source read from file (the same file however it is named), null when none.
    const DataSource* Reading(const std::filesystem::path& file) const;

    void AddUnavailable(std::shared_ptr<const host::ILayer> layer, UnavailableLayer what);
    // Null when the layer is not one of the document's unavailable layers.
    const UnavailableLayer* Unavailable(const host::ILayer& layer) const;
    void ForgetUnavailable(const host::ILayer& layer);
    std::size_t UnavailableCount() const { return m_unavailable.size(); }

  private:
    struct Entry {
        std::shared_ptr<const void> data;
        DataSource source;
    };
    const DataSource* FindAddress(const void* data) const;

    std::vector<Entry> m_entries;
    std::vector<std::pair<std::shared_ptr<const host::ILayer>, UnavailableLayer>> m_unavailable;
};

// An open map: the reference host and what saving it needs.
struct MapDocument {
    memory::ReferenceHost host;
    // The document file; empty for a data set opened on its own and not yet saved.
    std::filesystem::path path;
    DataSources sources;
    // The map's coordinate system: the document's, else that of the first layer
    // read that declares one; every layer in another was transformed into it.
    CoordinateSystem system;
    // What loading could not keep whole, one line each ("hydrology.gpkg: layer
    // "Cities": 3 shapes lie outside EPSG:3857 and are not drawn").
    std::vector<std::string> warnings;
};

// Opens any vector data set GDAL reads (GeoPackage, Shapefile, GeoJSON,
// FlatGeobuf, ...) as a map of its own: one feature layer per layer that has
// geometry, with the host's default simple renderer, listed points first, then
// lines, then polygons (each group in the data set's order) so that nothing hides
// the smaller features; layers without geometry become standalone tables. A data
// set with no layer to show (none readable, or none with a shape) is refused,
// saying why. The view shows the full extent. canvas empty: a NullCanvas of
// 800 x 600 pixels. Layers are transformed into mapSystem when it is given (a
// data set added to an open map), else into the system of the first that has one.
//
// How layers are read (see docs/map-document.md for the whole account): field
// types map onto the host's codes; unset and null fields read as null; the FID is
// the object id field (named as the layer's FID column, else "OBJECTID") and keeps
// the data set's FIDs when they are all positive, increasing and below 2^31, else
// features are numbered 1, 2, ... in reading order. Geometries other than points,
// lines and polygons (and their multi and curved forms) are refused, naming the
// layer.
MapDocument LoadDataSet(const std::filesystem::path& file,
                        std::unique_ptr<memory::Canvas> canvas = {},
                        const CoordinateSystem& mapSystem = {});

// Asked, once per file, for a data file that the document names and that does
// not exist: the file to read in its place (the document's source then names
// it), or an empty path to give up on it. A file of the same name in the folder
// of a file located before is taken without asking, as data sets move together.
using LocateDataFile = std::function<std::filesystem::path(const std::filesystem::path& missing)>;

// Reads a map document (docs/map-document.md). Data set paths in it are relative
// to the document's folder (for a symbolic link, the folder of the file it names).
// canvas empty: a NullCanvas of 800 x 600 pixels.
//
// Without locate, a missing data file or layer fails the load like any other
// fault (a batch run must not go on without its data). With it, as in the map
// window, a feature layer whose file was not located, or whose data set lacks
// its layer, opens unavailable (see UnavailableLayer, listed in the document's
// sources) and the rest of the document opens; a standalone table's missing data
// still fails the load.
MapDocument LoadMapDocument(const std::filesystem::path& file,
                            std::unique_ptr<memory::Canvas> canvas = {},
                            const LocateDataFile& locate = {});

// Writes the document's map to file as it goes, with data set paths relative to the
// folder of the file written (a symbolic link is followed). The text goes to a
// temporary file beside it, which then replaces it in one rename: a save that fails
// for any reason (a layer, symbol or text the format cannot hold, a full disk, a
// folder that cannot be written, a file CheckSaveTarget refuses) raises and leaves
// any earlier file whole. Does not change document.path: "save as" sets it after a
// successful save.
void SaveMapDocument(const MapDocument& document, const std::filesystem::path& file);

// Raises, as SaveMapDocument would before writing anything, when file cannot take
// the document: its folder is missing, not a folder or not writable; or it is
// a data set the document reads, a folder, or any other existing file that is not a
// map document. Changes nothing.
void CheckSaveTarget(const MapDocument& document, const std::filesystem::path& file);

}  // namespace velorin::gdal
