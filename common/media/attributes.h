#pragma once

// A small attribute store keyed by GUIDs: the media-type and device attributes that the backends
// fill and the catalogue reads. Any thread may call any member; each call takes the store's lock.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "olk_export.h"
#include "olk_guid.h"

namespace OLK {

class OLK_EXPORT Attributes {
public:
    Attributes() = default;
    Attributes(const Attributes& other);
    Attributes& operator=(const Attributes& other);
    virtual ~Attributes();

    // Each getter returns S_OK, MF_E_ATTRIBUTENOTFOUND or MF_E_INVALIDTYPE (wrong kind).
    int32_t getUINT32(const GUID& key, uint32_t* value) const;
    int32_t getUINT64(const GUID& key, uint64_t* value) const;
    int32_t getDouble(const GUID& key, double* value) const;
    int32_t getGUID(const GUID& key, GUID* value) const;
    int32_t getStringLength(const GUID& key, uint32_t* length) const;
    // Copies the string and its terminator into buffer; E_NOT_SUFFICIENT_BUFFER when it does
    // not fit in size characters.
    int32_t getString(const GUID& key, char* buffer, uint32_t size, uint32_t* length) const;
    int32_t getAllocatedString(const GUID& key, std::string* value) const;
    int32_t getBlob(const GUID& key, std::vector<uint8_t>* value) const;
    // A 64-bit value as (high half, low half): frame size (width, height), ratios (num, den).
    int32_t getPair(const GUID& key, uint32_t* high, uint32_t* low) const;

    int32_t setUINT32(const GUID& key, uint32_t value);
    int32_t setUINT64(const GUID& key, uint64_t value);
    int32_t setDouble(const GUID& key, double value);
    int32_t setGUID(const GUID& key, const GUID& value);
    int32_t setString(const GUID& key, const std::string& value);
    int32_t setBlob(const GUID& key, const std::vector<uint8_t>& value);
    int32_t setPair(const GUID& key, uint32_t high, uint32_t low);

    int32_t deleteItem(const GUID& key);
    bool hasItem(const GUID& key) const;
    uint32_t getCount() const;
    std::vector<GUID> keys() const;

private:
    template <typename T>
    int32_t getAs(const GUID& key, T* value) const;
    int32_t set(
        const GUID& key,
        std::variant<uint32_t, uint64_t, double, GUID, std::string, std::vector<uint8_t>> value);

    mutable std::mutex m_lock;
    std::map<GUID,
             std::variant<uint32_t, uint64_t, double, GUID, std::string, std::vector<uint8_t>>>
        m_items;
};

}  // namespace OLK
