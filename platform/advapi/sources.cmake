# Sources of the layer's advapi part: the registry.
target_sources(layer_advapi PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/reg_format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reg_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registry.cpp)
