target_sources(tvr-panel-core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/console_fpga_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console_sensor_model.cpp)
