#pragma once

// Names of the well-known media GUIDs, for printing media types.

#include <cstddef>
#include <cstdint>
#include <string>

#include "olk_export.h"
#include "olk_guid.h"

namespace OLK {

// The constant name of a well-known GUID, or null.
OLK_EXPORT const char* GetGUIDNameConst(const GUID& guid);
// A heap copy of the name (the braced registry form for an unknown GUID), freed with
// taskMemFree. Returns S_OK, E_POINTER or E_OUTOFMEMORY.
OLK_EXPORT int32_t GetGUIDName(const GUID& guid, char** name);
OLK_EXPORT void taskMemFree(void* memory);
OLK_EXPORT std::string guid2str(const GUID& guid);
// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, upper case.
OLK_EXPORT std::string guidToRegistryString(const GUID& guid);
// Number of rows in the name table.
OLK_EXPORT size_t guidNameCount();

}  // namespace OLK
