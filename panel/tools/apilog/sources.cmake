target_sources(tvr-panel-core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/log_view_model.cpp)
target_sources(tvr-panel-widgets PRIVATE ${CMAKE_CURRENT_LIST_DIR}/api_cmd_log_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/log_view_ctrl.cpp)
