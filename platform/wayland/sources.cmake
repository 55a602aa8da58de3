# Sources of the layer's Wayland part, with the client code of the shell
# protocols that it speaks, made from their descriptions at build time.
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
# The wlroots protocols (layer-shell, and the tests' virtual pointer) are not
# in Debian's wayland-protocols: their descriptions are kept here, each with
# its licence.
set(WLR_PROTOCOLS_DIR ${CMAKE_CURRENT_LIST_DIR}/protocols CACHE INTERNAL "The wlroots protocol descriptions")

# wayland_protocol(target name xml): the client header and code of a protocol.
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

wayland_protocol(win32layer xdg-shell ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml)
wayland_protocol(win32layer wlr-layer-shell-unstable-v1 ${WLR_PROTOCOLS_DIR}/wlr-layer-shell-unstable-v1.xml)
wayland_protocol(win32layer viewporter ${WAYLAND_PROTOCOLS_DIR}/stable/viewporter/viewporter.xml)
wayland_protocol(win32layer fractional-scale-v1
  ${WAYLAND_PROTOCOLS_DIR}/staging/fractional-scale/fractional-scale-v1.xml)
target_sources(win32layer PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/wl_driver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wl_outputs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wl_seats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wl_surfaces.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wl_egl.cpp)
