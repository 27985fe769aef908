target_sources(tvr-panel-core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/auto_dpc_calibration_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/calibrate_dpc_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dpc_search.cpp)
target_sources(tvr-panel-widgets PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/auto_dpc_calibration.cpp
  ${CMAKE_CURRENT_LIST_DIR}/calibrate_dpc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dpc_tools.cpp)
