# Frame pool and queues, pixel conversion, timers.
list(APPEND OLK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/pool/work_slot.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pool/fast_mem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pool/work_queue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/timing/tick_timer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/timing/averager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/timing/perf_counter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/convert/pixel_kernels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/convert/pixel_kernels_avx2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/convert/img_xform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/convert/rev26.cpp
  ${CMAKE_CURRENT_LIST_DIR}/convert/convert_img2rgb32.cpp
)
