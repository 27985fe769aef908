#pragma once

// Symbols of libolmek-common are hidden unless marked.
#if defined(_WIN32)
#if defined(OLK_BUILDING_LIBRARY)
#define OLK_EXPORT __declspec(dllexport)
#else
#define OLK_EXPORT __declspec(dllimport)
#endif
#else
#define OLK_EXPORT __attribute__((visibility("default")))
#endif
