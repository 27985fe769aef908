# Media catalogue, capture backends, blocking reader, displays.
list(APPEND OLK_SOURCES ${CMAKE_CURRENT_LIST_DIR}/../olk_placeholder.cpp)
