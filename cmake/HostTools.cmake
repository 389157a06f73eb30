# SFXPACK_HOST: an sfxpack that runs on the build machine, for sealing stubs after they
# are linked. A native build uses its own; a cross build builds one natively beside it.
if(NOT CMAKE_CROSSCOMPILING)
    set(SFXPACK_HOST $<TARGET_FILE:sfxpack>)
    set(SFX_HOST_TOOLS_TARGET sfxpack)
else()
    include(ExternalProject)
    set(_host_dir ${CMAKE_BINARY_DIR}/host-tools)
    ExternalProject_Add(host_tools
        SOURCE_DIR ${PROJECT_SOURCE_DIR}
        BINARY_DIR ${_host_dir}
        CMAKE_ARGS -DSFX_HOST_TOOLS_ONLY=ON -DCMAKE_BUILD_TYPE=Release
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS ${_host_dir}/tools/sfxpack)
    set(SFXPACK_HOST ${_host_dir}/tools/sfxpack)
    set(SFX_HOST_TOOLS_TARGET host_tools)
endif()

# Stores the linked program's own length in its seal (engine/seal.h).
function(sfx_seal_stub target)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${SFXPACK_HOST} seal $<TARGET_FILE:${target}>
        VERBATIM)
    add_dependencies(${target} ${SFX_HOST_TOOLS_TARGET})
endfunction()
