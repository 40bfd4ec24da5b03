#pragma once

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "platform/gdal/pass_builder.h"

// Internal to platform/gdal.
namespace velorin::gdal {

// Reads a GeoPackage table through GDAL's Arrow stream, which its driver fills
// straight from SQLite several times faster than the feature loop, every feature
// into pass. Returns false when the stream cannot give the layer exactly as the
// loop reads it; what the pass did is then to be thrown away and the layer read
// with the loop. withShapes: the pass keeps the features' shapes.
//
// Works round GDAL 3.6.2: past 125 fields it fails to fill a batch and asks again
// for ever; it reads a table whose FIDs run from 1 to its count in FID ranges and
// asks again for ever for a range that fails or gives nothing; it narrows a small
// integer that SQLite holds wider; it gives a geometry it cannot read as none. A
// thread of the reader's own fills the next batch while one is read.
//
// What it saves: with the feature loop in its place, load_bench's
// BM_ReadLayerThrough (1,000,000 points) takes 2.2x the CPU time and 2.4x the
// wall time (ratios of medians from one run). The loop is its plain twin; the
// ReadPaths tests of tests/gdal/ogr_reader_test.cpp compare the two.
bool ReadStream(GDALDataset& dataset, OGRLayer& layer, const LayerPlan& plan, bool withShapes,
                PassBuilder& pass);

}  // namespace velorin::gdal
