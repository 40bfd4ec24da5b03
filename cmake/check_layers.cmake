# The layer rule, checked: every `#include "..."` of our own sources against the
# table of cmake/layers.cmake, and, with VELORIN_LINKS, every target's links
# against the same table.
#
#   cmake -DVELORIN_SOURCE_DIR=<repository> [-DVELORIN_LINKS=<build>/velorin_links.cmake]
#         -P cmake/check_layers.cmake
#
# VELORIN_LINKS is written when the project is configured (cmake/LayerLinks.cmake):
# each target's sources, its direct links and what it reaches through public
# links. With it the check also refuses
#   - a link of a layer's target to a layer the table does not allow, and
#   - an include of a layer whose target the including target does not reach.
# Exits non-zero and names every wrong edge, the file and the include.
cmake_minimum_required(VERSION 3.25)

if(NOT VELORIN_SOURCE_DIR)
    message(FATAL_ERROR "usage: cmake -DVELORIN_SOURCE_DIR=<repository> "
                        "[-DVELORIN_LINKS=<file>] -P check_layers.cmake")
endif()
get_filename_component(root "${VELORIN_SOURCE_DIR}" ABSOLUTE)
include("${CMAKE_CURRENT_LIST_DIR}/layers.cmake")
# -DVELORIN_ALSO_ALLOW=FROM>TO adds an edge to the table, to show what the check
# makes of it.
if(VELORIN_ALSO_ALLOW)
    string(REPLACE ">" ";" extra "${VELORIN_ALSO_ALLOW}")
    list(GET extra 0 extraFrom)
    list(GET extra 1 extraTo)
    list(APPEND VELORIN_LAYER_${extraFrom}_MAY_INCLUDE ${extraTo})
endif()

# The layer of `path` (relative to the repository): the layer with the longest
# path that holds it, or "" when none does.
function(layer_of path out)
    set(best "")
    set(bestLength -1)
    foreach(layer IN LISTS VELORIN_LAYERS)
        foreach(prefix IN LISTS VELORIN_LAYER_${layer}_PATHS)
            string(LENGTH "${prefix}" length)
            if(length GREATER bestLength)
                if(path STREQUAL prefix OR path MATCHES "^${prefix}/")
                    set(best ${layer})
                    set(bestLength ${length})
                endif()
            endif()
        endforeach()
    endforeach()
    set(${out} "${best}" PARENT_SCOPE)
endfunction()

# The layer that builds `target`, or "".
function(layer_of_target target out)
    set(found "")
    foreach(layer IN LISTS VELORIN_LAYERS)
        if(target IN_LIST VELORIN_LAYER_${layer}_TARGETS)
            set(found ${layer})
        endif()
    endforeach()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

macro(allows from to out)
    set(${out} FALSE)
    if("${from}" STREQUAL "${to}" OR "*" IN_LIST VELORIN_LAYER_${from}_MAY_INCLUDE
       OR "${to}" IN_LIST VELORIN_LAYER_${from}_MAY_INCLUDE)
        set(${out} TRUE)
    endif()
endmacro()

set(faults)

# The table itself: every layer it allows exists.
foreach(layer IN LISTS VELORIN_LAYERS)
    foreach(other IN LISTS VELORIN_LAYER_${layer}_MAY_INCLUDE)
        if(NOT other STREQUAL "*" AND NOT other IN_LIST VELORIN_LAYERS)
            list(APPEND faults "cmake/layers.cmake: ${layer} may include ${other}, which is no layer")
        endif()
    endforeach()
endforeach()

# Edges the table must never allow.
foreach(edge IN LISTS VELORIN_NEVER_EDGES)
    string(REPLACE ">" ";" ends "${edge}")
    list(GET ends 0 from)
    list(GET ends 1 to)
    if(to IN_LIST VELORIN_LAYER_${from}_MAY_INCLUDE)
        list(APPEND faults "cmake/layers.cmake: ${from} may include ${to}, which must never be: ${VELORIN_NEVER_${from}_${to}_BECAUSE}")
    endif()
endforeach()

# Our sources: every folder below the root but build trees, outputs and hidden ones.
file(GLOB tops RELATIVE "${root}" "${root}/*")
set(sources)
foreach(top IN LISTS tops)
    if(NOT IS_DIRECTORY "${root}/${top}" OR top MATCHES "^(\\.|build|out$)")
        continue()
    endif()
    file(GLOB_RECURSE found RELATIVE "${root}"
         "${root}/${top}/*.h" "${root}/${top}/*.hpp" "${root}/${top}/*.cpp"
         "${root}/${top}/*.cc" "${root}/${top}/*.idl" "${root}/${top}/*.rc")
    list(APPEND sources ${found})
endforeach()

# Each source's includes of our own files, as "<included path>" (relative to the
# root). An include that names no file of the tree is generated or a library's.
foreach(source IN LISTS sources)
    layer_of("${source}" layer)
    if(layer STREQUAL "")
        list(APPEND faults "${source}: in no layer of cmake/layers.cmake")
        continue()
    endif()
    set(source_${source}_LAYER ${layer})
    get_filename_component(folder "${source}" DIRECTORY)
    file(STRINGS "${root}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    set(included)
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" name "${line}")
        if(EXISTS "${root}/${name}" AND NOT IS_DIRECTORY "${root}/${name}")
            set(path "${name}")
        elseif(folder AND EXISTS "${root}/${folder}/${name}")
            file(RELATIVE_PATH path "${root}" "${root}/${folder}/${name}")
        else()
            continue()
        endif()
        layer_of("${path}" other)
        if(other STREQUAL "")
            list(APPEND faults "${source}: includes ${path}, which is in no layer")
            continue()
        endif()
        allows(${layer} ${other} ok)
        if(NOT ok)
            list(APPEND faults
                 "${source}: includes ${path}: ${layer} may not include ${other} (cmake/layers.cmake)")
        endif()
        list(APPEND included "${path}")
    endforeach()
    set(source_${source}_INCLUDES ${included})
endforeach()

if(VELORIN_LINKS)
    include("${VELORIN_LINKS}")
    foreach(target IN LISTS VELORIN_TARGETS)
        # A layer's target links only layers it may include.
        layer_of_target(${target} layer)
        if(NOT layer STREQUAL "")
            foreach(link IN LISTS VELORIN_TARGET_${target}_LINKS)
                layer_of_target(${link} other)
                if(other STREQUAL "")
                    continue()
                endif()
                allows(${layer} ${other} ok)
                if(NOT ok)
                    list(APPEND faults "target ${target} links ${link}: ${layer} may not depend on ${other} (cmake/layers.cmake)")
                endif()
            endforeach()
        endif()
        # What its sources include, it reaches: itself, a direct link, or a public
        # link of one of those.
        set(reach ${target} ${VELORIN_TARGET_${target}_REACH})
        # Nor does it reach, by any link, a layer it must never depend on.
        foreach(edge IN LISTS VELORIN_NEVER_EDGES)
            string(REPLACE ">" ";" ends "${edge}")
            list(GET ends 0 from)
            list(GET ends 1 to)
            if(NOT layer STREQUAL from)
                continue()
            endif()
            foreach(reached IN LISTS reach VELORIN_TARGET_${target}_LINKS)
                if(reached IN_LIST VELORIN_LAYER_${to}_TARGETS)
                    list(APPEND faults "target ${target} reaches ${reached}: ${from} must never depend on ${to}: ${VELORIN_NEVER_${from}_${to}_BECAUSE}")
                endif()
            endforeach()
        endforeach()
        foreach(source IN LISTS VELORIN_TARGET_${target}_SOURCES)
            foreach(path IN LISTS source_${source}_INCLUDES)
                layer_of("${path}" other)
                set(targets ${VELORIN_LAYER_${other}_TARGETS})
                if(NOT targets)
                    continue()
                endif()
                set(built FALSE)
                set(reached FALSE)
                foreach(candidate IN LISTS targets)
                    if(candidate IN_LIST VELORIN_TARGETS)
                        set(built TRUE)
                    endif()
                    if(candidate IN_LIST reach)
                        set(reached TRUE)
                    endif()
                endforeach()
                if(built AND NOT reached)
                    list(JOIN targets " or " wanted)
                    list(APPEND faults "${source}: includes ${path}, but target ${target} does not link ${wanted} (directly or through a public link)")
                endif()
            endforeach()
        endforeach()
    endforeach()
endif()

list(REMOVE_DUPLICATES faults)
list(LENGTH faults count)
list(LENGTH sources files)
if(count GREATER 0)
    foreach(fault IN LISTS faults)
        message(NOTICE "${fault}")
    endforeach()
    message(FATAL_ERROR "${count} wrong edge(s) between layers in ${files} files")
endif()
message(STATUS "layer rule: ${files} files, every include and link an allowed edge")
