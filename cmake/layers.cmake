# The layers and the only edges allowed between them: the one table behind
# docs/developing.md's layer rule. cmake/check_layers.cmake (the ctest test
# `layer_rule`) refuses any `#include "..."` of our own that is not an edge
# here, any link of a layer's target to a layer it may not include, and any
# include of a layer whose target is not linked (directly or through a public
# link) by the target that includes it.
#
# velorin_layer(NAME PATHS <folders or files> TARGETS <CMake targets> MAY_INCLUDE <layers>)
#   PATHS        folders or files below the repository root; the longest path that
#                holds a file decides its layer
#   TARGETS      the targets built from the layer (none for tests and benchmarks,
#                whose every target is checked by its sources)
#   MAY_INCLUDE  the layers below it that its code may include; every layer may
#                include itself; `*` means every layer
# A layer's edges are not transitive: a layer that includes a header of another
# lists it, and its target links it.
macro(velorin_layer name)
    cmake_parse_arguments(VELORIN_LAYER "" "" "PATHS;TARGETS;MAY_INCLUDE" ${ARGN})
    list(APPEND VELORIN_LAYERS ${name})
    set(VELORIN_LAYER_${name}_PATHS ${VELORIN_LAYER_PATHS})
    set(VELORIN_LAYER_${name}_TARGETS ${VELORIN_LAYER_TARGETS})
    set(VELORIN_LAYER_${name}_MAY_INCLUDE ${VELORIN_LAYER_MAY_INCLUDE})
endmacro()

set(VELORIN_LAYERS)

# The extension: plain C++20, every edge pointing down.
velorin_layer(error PATHS host/error.h TARGETS velorin_error)
velorin_layer(host PATHS host TARGETS velorin_host MAY_INCLUDE error)
velorin_layer(ui PATHS ui TARGETS velorin_ui MAY_INCLUDE error)
velorin_layer(forms PATHS forms TARGETS velorin_forms MAY_INCLUDE host ui error)
velorin_layer(zoomflash PATHS zoomflash TARGETS velorin_zoomflash
    MAY_INCLUDE forms host ui error)
velorin_layer(copylegend PATHS copylegend TARGETS velorin_copylegend
    MAY_INCLUDE forms host ui error)
velorin_layer(commands PATHS commands TARGETS velorin_commands
    MAY_INCLUDE zoomflash copylegend forms host ui error)

# The reference map host knows nothing of the extension but the port it implements.
velorin_layer(memory PATHS platform/memory TARGETS velorin_memory MAY_INCLUDE host error)
velorin_layer(canvas_qt PATHS platform/memory/qt TARGETS velorin_canvas_qt
    MAY_INCLUDE memory host error)
velorin_layer(canvas_gdi PATHS platform/memory/gdi TARGETS velorin_canvas_gdi
    MAY_INCLUDE memory host error)
velorin_layer(gdal PATHS platform/gdal TARGETS velorin_gdal MAY_INCLUDE memory host error)

# Toolkits: what only a desktop (or a script playing the person) can do, behind ui/.
velorin_layer(qt PATHS platform/qt TARGETS velorin_qt velorin_qt5 MAY_INCLUDE ui error)
velorin_layer(scripted PATHS platform/scripted TARGETS velorin_scripted MAY_INCLUDE ui error)
velorin_layer(win32 PATHS platform/win32 TARGETS velorin_win32 MAY_INCLUDE ui error)

# The hosts' sides: the COM server, the QGIS port and plugin, the sample writer
# and the map window.
velorin_layer(com PATHS commands/com TARGETS velorin_com
    MAY_INCLUDE commands win32 host ui error)
velorin_layer(qgis PATHS platform/qgis TARGETS velorin_qgis MAY_INCLUDE memory host ui error)
velorin_layer(qgis_plugin PATHS qgis_plugin TARGETS velorinqgis
    MAY_INCLUDE qgis qt commands zoomflash copylegend forms memory host ui error)
velorin_layer(sample PATHS tools/make_sample TARGETS velorin_sample
    MAY_INCLUDE gdal memory host error)
velorin_layer(app PATHS app TARGETS velorin_app velorin-map
    MAY_INCLUDE commands zoomflash copylegend forms qt scripted gdal canvas_qt memory host ui
                error)

# Tests, benchmarks and fuzz targets reach whatever they test; each of their
# targets still links what its sources include.
velorin_layer(tests PATHS tests TARGETS MAY_INCLUDE *)
velorin_layer(bench PATHS bench TARGETS MAY_INCLUDE *)
velorin_layer(fuzz PATHS fuzz TARGETS MAY_INCLUDE *)
