# Sources of the layer's x11 part.
target_sources(layer_x11 PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/x11_driver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_windows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_focus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_events.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_monitors.cpp)
target_sources(layer_x11 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/x11_glx.cpp ${CMAKE_CURRENT_LIST_DIR}/x11_spread.cpp)
target_sources(layer_x11 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/x11_message_box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_box_layout.cpp ${CMAKE_CURRENT_LIST_DIR}/x11_box_paint.cpp)
target_sources(layer_x11 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/x11_display_mode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/x11_mode_exit.cpp)
target_sources(layer_x11 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/x11_dialog.cpp ${CMAKE_CURRENT_LIST_DIR}/x11_paint.cpp)
target_sources(layer_x11 PRIVATE ${CMAKE_CURRENT_LIST_DIR}/x11_fps.cpp)
# x11_geometry.cpp goes into win32layer itself (platform/CMakeLists.txt).
