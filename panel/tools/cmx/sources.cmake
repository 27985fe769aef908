target_sources(tvr-panel-core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cmx_model.cpp)
target_sources(tvr-panel-widgets PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cmx.cpp)
