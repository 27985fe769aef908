target_sources(tvr-panel-core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/demo_mode_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/demo_script.cpp)
target_sources(tvr-panel-widgets PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/demo_mode_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/demo_tools.cpp)
