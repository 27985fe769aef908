target_sources(tvr-panel-core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/green_screen_model.cpp)
target_sources(tvr-panel-widgets PRIVATE ${CMAKE_CURRENT_LIST_DIR}/green_screen.cpp)
