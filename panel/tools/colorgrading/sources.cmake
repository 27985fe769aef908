target_sources(tvr-panel-core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/cg_info.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cg_undo_history.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cg_variants.cpp
  ${CMAKE_CURRENT_LIST_DIR}/color_grading_model.cpp)
target_sources(tvr-panel-widgets PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/color_grading_dlg_base.cpp
  ${CMAKE_CURRENT_LIST_DIR}/color_grading_luma_switch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/color_grading_tools.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vert_transp_slider.cpp)
