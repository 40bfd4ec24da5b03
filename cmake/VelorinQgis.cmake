# QGIS 3 (its core and gui libraries and headers) and the Qt 5 it is built on.
# QGIS ships no CMake package, so its libraries are wrapped here as imported
# targets. The QGIS parts (the Qt 5 toolkit, the host adapter and the plugin)
# build when QGIS is found, unless switched off; never under the sanitizers,
# since the plugin loads into a QGIS process that was not built with them.
find_path(VELORIN_QGIS_INCLUDE_DIR qgsapplication.h PATHS /usr/include/qgis)
find_library(VELORIN_QGIS_CORE_LIBRARY qgis_core)
find_library(VELORIN_QGIS_GUI_LIBRARY qgis_gui)
set(velorin_qgis_found OFF)
if(VELORIN_QGIS_INCLUDE_DIR AND VELORIN_QGIS_CORE_LIBRARY AND VELORIN_QGIS_GUI_LIBRARY
   AND NOT VELORIN_SANITIZE)
    set(velorin_qgis_found ON)
endif()
option(VELORIN_QGIS "Build the QGIS plugin, its host adapter and the Qt 5 toolkit"
       ${velorin_qgis_found})
if(VELORIN_QGIS AND VELORIN_SANITIZE)
    message(STATUS "Velorin: the QGIS parts are not built under the sanitizers")
    set(VELORIN_QGIS OFF)
endif()
if(VELORIN_QGIS AND NOT velorin_qgis_found)
    message(FATAL_ERROR "VELORIN_QGIS is on, but QGIS (libqgis-dev) was not found")
endif()

if(VELORIN_QGIS)
    # Qt 6 is already found for velorin-map: Qt 5 comes in under its versioned
    # names only, or the two would both define Qt::Core and friends.
    set(QT_NO_CREATE_VERSIONLESS_TARGETS ON)
    find_package(Qt5 5.15 REQUIRED COMPONENTS Core Gui Widgets Xml Test)
    unset(QT_NO_CREATE_VERSIONLESS_TARGETS)

    add_library(velorin::qgis_core SHARED IMPORTED)
    set_target_properties(velorin::qgis_core PROPERTIES
        IMPORTED_LOCATION "${VELORIN_QGIS_CORE_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${VELORIN_QGIS_INCLUDE_DIR}"
        INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${VELORIN_QGIS_INCLUDE_DIR}"
        INTERFACE_LINK_LIBRARIES "Qt5::Core;Qt5::Gui;Qt5::Widgets;Qt5::Xml")
    add_library(velorin::qgis_gui SHARED IMPORTED)
    set_target_properties(velorin::qgis_gui PROPERTIES
        IMPORTED_LOCATION "${VELORIN_QGIS_GUI_LIBRARY}"
        INTERFACE_LINK_LIBRARIES "velorin::qgis_core")
    message(STATUS "Velorin: building the QGIS plugin against ${VELORIN_QGIS_CORE_LIBRARY}")
endif()
