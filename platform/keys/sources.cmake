# Sources of the layer's key translation, shared by the drivers.
target_sources(layer_keys PRIVATE ${CMAKE_CURRENT_LIST_DIR}/keys.cpp)
