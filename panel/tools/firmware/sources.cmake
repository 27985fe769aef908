# The firmware windows use the download-server client and the upgrade job.
target_link_libraries(tvr-panel-core PUBLIC tvr-firmware)
target_sources(tvr-panel-core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/fw_upgrade_model.cpp)
target_sources(tvr-panel-widgets PRIVATE ${CMAKE_CURRENT_LIST_DIR}/fw_upgrade_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fw_upgrade_popup_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fw_upgrade_ctrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/firmware_tools.cpp)
