# One INTERFACE target carries the compiler flags of the project's own code.
# Third-party headers come in as SYSTEM includes through their imported targets,
# so their warnings never trip -Werror.
add_library(velorin_flags INTERFACE)
target_compile_features(velorin_flags INTERFACE cxx_std_20)
target_compile_options(velorin_flags INTERFACE -Wall -Wextra -Wpedantic -Wshadow=local
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
