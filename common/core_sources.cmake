# Frame pool and queues, pixel conversion, timers.
list(APPEND OLK_SOURCES)
