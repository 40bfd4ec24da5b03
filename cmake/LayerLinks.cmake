# velorin_write_layer_links(FILE): after every target is defined, writes for
# cmake/check_layers.cmake each target's sources (relative to the repository),
# its direct links to our own targets and every target it reaches through them
# and their public links. Imported targets (Qt, GDAL, GoogleTest) are left out.

# Our own targets named in a list of link items; a private link of a static
# library ($<LINK_ONLY:...>) is not passed on, and other generator expressions
# are not ours.
function(velorin_own_targets items out)
    set(own)
    foreach(item IN LISTS items)
        if(item MATCHES "\\$<" OR NOT TARGET "${item}")
            continue()
        endif()
        get_target_property(imported ${item} IMPORTED)
        if(NOT imported)
            list(APPEND own ${item})
        endif()
    endforeach()
    set(${out} ${own} PARENT_SCOPE)
endfunction()

function(velorin_collect_targets directory out)
    get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(children DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
    foreach(child IN LISTS children)
        velorin_collect_targets(${child} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(velorin_write_layer_links file)
    velorin_collect_targets(${PROJECT_SOURCE_DIR} targets)
    set(text "# Written by cmake/LayerLinks.cmake; read by cmake/check_layers.cmake.\n")
    set(kept)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "UTILITY")
            continue()
        endif()
        list(APPEND kept ${target})

        get_target_property(directory ${target} SOURCE_DIR)
        get_target_property(sources ${target} SOURCES)
        set(relative)
        foreach(source IN LISTS sources)
            if(source MATCHES "\\$<")
                continue()
            endif()
            get_filename_component(path "${source}" ABSOLUTE BASE_DIR "${directory}")
            file(RELATIVE_PATH path "${PROJECT_SOURCE_DIR}" "${path}")
            if(NOT path MATCHES "^\\.\\./")
                list(APPEND relative "${path}")
            endif()
        endforeach()

        if(type STREQUAL "INTERFACE_LIBRARY")
            set(links)
        else()
            get_target_property(links ${target} LINK_LIBRARIES)
        endif()
        velorin_own_targets("${links}" direct)
        get_target_property(public ${target} INTERFACE_LINK_LIBRARIES)
        velorin_own_targets("${public}" publicLinks)
        list(APPEND direct ${publicLinks})
        list(REMOVE_DUPLICATES direct)

        # Everything reached: the direct links, then the public links of each
        # target reached, until nothing new comes.
        set(reach ${direct})
        set(pending ${direct})
        while(pending)
            list(POP_FRONT pending next)
            get_target_property(nextPublic ${next} INTERFACE_LINK_LIBRARIES)
            velorin_own_targets("${nextPublic}" further)
            foreach(item IN LISTS further)
                if(NOT item IN_LIST reach)
                    list(APPEND reach ${item})
                    list(APPEND pending ${item})
                endif()
            endforeach()
        endwhile()

        string(APPEND text "set(VELORIN_TARGET_${target}_SOURCES \"${relative}\")\n"
                           "set(VELORIN_TARGET_${target}_LINKS \"${direct}\")\n"
                           "set(VELORIN_TARGET_${target}_REACH \"${reach}\")\n")
    endforeach()
    string(APPEND text "set(VELORIN_TARGETS \"${kept}\")\n")
    file(CONFIGURE OUTPUT "${file}" CONTENT "${text}" @ONLY)
endfunction()
