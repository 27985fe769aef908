target_sources(tvr-panel-core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/console_fpga_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console_i2c_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console_script.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console_sensor_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registers_overview_model.cpp)
target_sources(tvr-panel-widgets PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/console_fpga.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console_i2c.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console_sensor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console_tools.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registers_overview.cpp)
