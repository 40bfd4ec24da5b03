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

# velorin_never(FROM TO BECAUSE <reason>): an edge that must never be allowed,
# whatever the table says: the check refuses the table when FROM may include TO,
# and the build when a target of FROM links a target of TO, directly or through
# public links.
macro(velorin_never from to)
    cmake_parse_arguments(VELORIN_NEVER "" "BECAUSE" "" ${ARGN})
    list(APPEND VELORIN_NEVER_EDGES "${from}>${to}")
    set(VELORIN_NEVER_${from}_${to}_BECAUSE "${VELORIN_NEVER_BECAUSE}")
endmacro()

set(VELORIN_LAYERS)
set(VELORIN_NEVER_EDGES)

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

# The host-neutral objects both hosts build on: they know the port alone.
velorin_layer(objects PATHS platform/objects TARGETS velorin_objects MAY_INCLUDE host error)

# The reference map host knows nothing of the extension but the port it implements.
velorin_layer(memory PATHS platform/memory TARGETS velorin_memory MAY_INCLUDE objects host error)
velorin_layer(canvas_qt PATHS platform/memory/qt TARGETS velorin_canvas_qt
    MAY_INCLUDE memory objects host error)
velorin_layer(canvas_gdi PATHS platform/memory/gdi TARGETS velorin_canvas_gdi
    MAY_INCLUDE memory objects host error)
velorin_layer(gdal PATHS platform/gdal TARGETS velorin_gdal MAY_INCLUDE memory objects host error)

# Toolkits: what only a desktop (or a script playing the person) can do, behind ui/.
velorin_layer(qt PATHS platform/qt TARGETS velorin_qt velorin_qt5 MAY_INCLUDE ui error)
velorin_layer(scripted PATHS platform/scripted TARGETS velorin_scripted MAY_INCLUDE ui error)
velorin_layer(win32 PATHS platform/win32 TARGETS velorin_win32 MAY_INCLUDE ui error)

# The hosts' sides: the COM server, the QGIS port and plugin, the sample writer
# and the map window.
velorin_layer(com PATHS commands/com TARGETS velorin_com
    MAY_INCLUDE commands win32 host ui error)
velorin_layer(qgis PATHS platform/qgis TARGETS velorin_qgis MAY_INCLUDE objects host ui error)
velorin_layer(qgis_plugin PATHS qgis_plugin TARGETS velorinqgis
    MAY_INCLUDE qgis qt commands zoomflash copylegend forms objects host ui error)
velorin_layer(sample PATHS tools/make_sample TARGETS velorin_sample
    MAY_INCLUDE gdal memory objects host error)
velorin_layer(app PATHS app TARGETS velorin_app velorin-map
    MAY_INCLUDE commands zoomflash copylegend forms qt scripted gdal canvas_qt memory objects host
                ui error)

# The two hosts run one conformance suite over the same objects; one built on the
# other's internals would let them differ silently.
velorin_never(qgis memory BECAUSE "the hosts share the host-neutral objects, never each other")
velorin_never(qgis_plugin memory BECAUSE "the plugin carries the QGIS host alone")
velorin_never(memory qgis BECAUSE "the reference host knows no other host")
velorin_never(objects memory BECAUSE "the host-neutral objects know the port alone")
velorin_never(objects qgis BECAUSE "the host-neutral objects know the port alone")

# Tests, benchmarks and fuzz targets reach whatever they test; each of their
# targets still links what its sources include.
velorin_layer(tests PATHS tests TARGETS MAY_INCLUDE *)
velorin_layer(bench PATHS bench TARGETS MAY_INCLUDE *)
velorin_layer(fuzz PATHS fuzz TARGETS MAY_INCLUDE *)
