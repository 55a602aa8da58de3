# Sources of the layer's gdi part: device contexts, pixel formats, WGL.
target_sources(layer_gdi PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/dc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pixel_format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wgl.cpp)
target_sources(layer_gdi PRIVATE ${CMAKE_CURRENT_LIST_DIR}/font.cpp ${CMAKE_CURRENT_LIST_DIR}/font_outline.cpp)
