target_sources(tvr-panel-core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/dev_tech_info_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sys_info_model.cpp)
target_sources(tvr-panel-widgets PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/dev_tech_info.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sys_info.cpp)
