# Sources of the layer's Wayland part, with the client code of the shell
# protocols that it speaks, made from their descriptions at build time.
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
# layer-shell is not in Debian's wayland-protocols; a packaged copy of the
# wlroots protocols is.
file(GLOB WLR_PROTOCOLS_DIRS /usr/share/cargo/registry/wayland-protocols-*/wlr-protocols/unstable)
find_file(WLR_LAYER_SHELL_XML wlr-layer-shell-unstable-v1.xml PATHS ${WLR_PROTOCOLS_DIRS} NO_DEFAULT_PATH REQUIRED)
get_filename_component(WLR_PROTOCOLS_DIR ${WLR_LAYER_SHELL_XML} DIRECTORY CACHE)

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

wayland_protocol(layer_wayland xdg-shell ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml)
wayland_protocol(layer_wayland wlr-layer-shell-unstable-v1 ${WLR_LAYER_SHELL_XML})
target_sources(layer_wayland PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/wl_driver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wl_outputs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wl_seats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wl_surfaces.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wl_egl.cpp)
