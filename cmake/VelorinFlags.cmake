# One INTERFACE target carries the compiler flags of the project's own code.
# Third-party headers come in as SYSTEM includes through their imported targets,
# so their warnings never trip -Werror.
add_library(velorin_flags INTERFACE)
target_compile_features(velorin_flags INTERFACE cxx_std_20)
# Shadowed locals: GCC names the warning one way, clang (the fuzz preset) another.
target_compile_options(velorin_flags INTERFACE -Wall -Wextra -Wpedantic
                       $<IF:$<CXX_COMPILER_ID:GNU>,-Wshadow=local,-Wshadow-uncaptured-local>
                       -Wnon-virtual-dtor -Wimplicit-fallthrough)
if(VELORIN_WERROR)
    target_compile_options(velorin_flags INTERFACE -Werror)
    # GCC 12's optimiser reports moves of a std::variant holding a std::string
    # (our field values) as "maybe uninitialized", a known false positive. It
    # stays a visible warning in optimised builds, just not a fatal one.
    target_compile_options(velorin_flags INTERFACE
        $<$<AND:$<CXX_COMPILER_ID:GNU>,$<NOT:$<CONFIG:Debug>>>:-Wno-error=maybe-uninitialized>)
endif()
if(VELORIN_SANITIZE)
    target_compile_options(velorin_flags INTERFACE -fsanitize=address,undefined
                           -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(velorin_flags INTERFACE -fsanitize=address,undefined)
endif()
# The fuzz preset: clang's coverage for libFuzzer on all of our code; the fuzz
# programs themselves link the fuzzer's main (fuzz/CMakeLists.txt).
if(VELORIN_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "VELORIN_FUZZ needs clang (libFuzzer); use the fuzz preset")
    endif()
    target_compile_options(velorin_flags INTERFACE -fsanitize=fuzzer-no-link)
endif()

# The version lives in project() alone; programs that show it get it as a
# definition, so the package, --version and QGIS's plugin list cannot drift apart.
function(velorin_version_definition target)
    target_compile_definitions(${target} PRIVATE VELORIN_VERSION="${PROJECT_VERSION}")
endfunction()
