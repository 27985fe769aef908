target_sources(tvr-panel-core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/auto_functions_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/nr_video_model.cpp)
target_sources(tvr-panel-widgets PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/auto_functions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/nr_video.cpp)
