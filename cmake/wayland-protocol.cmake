# wayland_protocol(target name xml): the client header and code of a Wayland
# protocol, made from its description at build time, for the layer's Wayland
# driver, the idle watcher and the tests' clients. WLR_PROTOCOLS_DIR: the
# wlroots protocols (layer-shell, and the tests' virtual pointer), which
# Debian's wayland-protocols lacks, kept in the tree with their licences.
find_package(PkgConfig REQUIRED)
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
set(WLR_PROTOCOLS_DIR ${PROJECT_SOURCE_DIR}/platform/wayland/protocols CACHE INTERNAL "The wlroots protocol descriptions")

function(wayland_protocol target name xml)
  set(dir ${CMAKE_BINARY_DIR}/wayland-protocols)
  add_custom_command(OUTPUT ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${dir}/${name}-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${dir}/${name}-protocol.c
    DEPENDS ${xml} VERBATIM)
  target_sources(${target} PRIVATE ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c)
  target_include_directories(${target} PRIVATE ${dir})
endfunction()

# wayland_server_protocol(target name xml): the server header and code of a
# protocol, for the tests' own compositor.
function(wayland_server_protocol target name xml)
  set(dir ${CMAKE_BINARY_DIR}/wayland-protocols)
  add_custom_command(OUTPUT ${dir}/${name}-server-protocol.h ${dir}/${name}-server-code.c
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${WAYLAND_SCANNER} server-header ${xml} ${dir}/${name}-server-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${dir}/${name}-server-code.c
    DEPENDS ${xml} VERBATIM)
  target_sources(${target} PRIVATE ${dir}/${name}-server-protocol.h ${dir}/${name}-server-code.c)
  target_include_directories(${target} PRIVATE ${dir})
endfunction()
