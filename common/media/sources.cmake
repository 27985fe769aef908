# Media catalogue, capture backends, blocking reader, displays.
list(APPEND OLK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/attributes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/media_objects.cpp
  ${CMAKE_CURRENT_LIST_DIR}/guid_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/media_type.cpp
  ${CMAKE_CURRENT_LIST_DIR}/media_util.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ls_media_type.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_info.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source_reader_base.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture_backend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/synthetic/synthetic_config.cpp
  ${CMAKE_CURRENT_LIST_DIR}/synthetic/synthetic_backend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/v4l2/v4l2_formats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/v4l2/v4l2_device.cpp
  ${CMAKE_CURRENT_LIST_DIR}/v4l2/v4l2_backend.cpp
)
list(APPEND OLK_PRIVATE_LIBS fmt::fmt ${CMAKE_DL_LIBS})
list(APPEND OLK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../capture/debug_out.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../capture/thread_handle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../capture/display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../capture/display_drm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../capture/display_xrandr.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../capture/mmf_cap_sync.cpp
)
