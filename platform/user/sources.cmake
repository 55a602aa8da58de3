# Sources of the layer's user part.
target_sources(layer_user PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/classes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cursor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/defwnd.cpp
  ${CMAKE_CURRENT_LIST_DIR}/driver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/focus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/modal.cpp
  ${CMAKE_CURRENT_LIST_DIR}/windows.cpp
  # Dialogs from templates and system parameters.
  ${CMAKE_CURRENT_LIST_DIR}/dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dlg_template.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sysparams.cpp)
target_sources(layer_user PRIVATE ${CMAKE_CURRENT_LIST_DIR}/message_box.cpp)
target_sources(layer_user PRIVATE ${CMAKE_CURRENT_LIST_DIR}/display_settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/monitors.cpp)
