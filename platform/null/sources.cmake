# Sources of the layer's null part.
target_sources(layer_null PRIVATE ${CMAKE_CURRENT_LIST_DIR}/null_driver.cpp)
target_sources(layer_null PRIVATE ${CMAKE_CURRENT_LIST_DIR}/null_gl.cpp)
target_sources(layer_null PRIVATE ${CMAKE_CURRENT_LIST_DIR}/null_display_mode.cpp)
