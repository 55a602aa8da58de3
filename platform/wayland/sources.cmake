# Sources of the layer's Wayland part, with the client code of the shell
# protocols that it speaks, made from their descriptions at build time.
include(${PROJECT_SOURCE_DIR}/cmake/wayland-protocol.cmake)

wayland_protocol(layer_wayland xdg-shell ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml)
wayland_protocol(layer_wayland wlr-layer-shell-unstable-v1 ${WLR_PROTOCOLS_DIR}/wlr-layer-shell-unstable-v1.xml)
wayland_protocol(layer_wayland viewporter ${WAYLAND_PROTOCOLS_DIR}/stable/viewporter/viewporter.xml)
wayland_protocol(layer_wayland fractional-scale-v1
  ${WAYLAND_PROTOCOLS_DIR}/staging/fractional-scale/fractional-scale-v1.xml)
target_sources(layer_wayland PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/wl_driver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wl_outputs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wl_seats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wl_surfaces.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wl_egl.cpp)
