# Sources of the layer's kernel part.
target_sources(layer_kernel PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/chars.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/error_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/faults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/modules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process.cpp
  ${CMAKE_CURRENT_LIST_DIR}/res_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resources.cpp
  ${CMAKE_CURRENT_LIST_DIR}/start_options.cpp)
