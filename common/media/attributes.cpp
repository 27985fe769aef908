#include "media/attributes.h"

#include <cstring>

#include "media/mf_result.h"

namespace OLK {

Attributes::Attributes(const Attributes& other) {
    std::lock_guard<std::mutex> guard(other.m_lock);
    m_items = other.m_items;
}

Attributes& Attributes::operator=(const Attributes& other) {
    if (this != &other) {
        auto copy = decltype(m_items){};
        {
            std::lock_guard<std::mutex> guard(other.m_lock);
            copy = other.m_items;
        }
        std::lock_guard<std::mutex> guard(m_lock);
        m_items = std::move(copy);
    }
    return *this;
}

Attributes::~Attributes() = default;

template <typename T>
int32_t Attributes::getAs(const GUID& key, T* value) const {
    if (value == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_items.find(key);
    if (it == m_items.end()) return MF_E_ATTRIBUTENOTFOUND;
    const T* held = std::get_if<T>(&it->second);
    if (held == nullptr) return MF_E_INVALIDTYPE;
    *value = *held;
    return S_OK;
}

int32_t Attributes::getUINT32(const GUID& key, uint32_t* value) const { return getAs(key, value); }
int32_t Attributes::getUINT64(const GUID& key, uint64_t* value) const { return getAs(key, value); }
int32_t Attributes::getDouble(const GUID& key, double* value) const { return getAs(key, value); }
int32_t Attributes::getGUID(const GUID& key, GUID* value) const { return getAs(key, value); }
int32_t Attributes::getAllocatedString(const GUID& key, std::string* value) const {
    return getAs(key, value);
}
int32_t Attributes::getBlob(const GUID& key, std::vector<uint8_t>* value) const {
    return getAs(key, value);
}

int32_t Attributes::getStringLength(const GUID& key, uint32_t* length) const {
    if (length == nullptr) return E_POINTER;
    std::string text;
    int32_t hr = getAs(key, &text);
    if (hr == S_OK) *length = static_cast<uint32_t>(text.size());
    return hr;
}

int32_t Attributes::getString(const GUID& key, char* buffer, uint32_t size,
                              uint32_t* length) const {
    if (buffer == nullptr) return E_POINTER;
    std::string text;
    int32_t hr = getAs(key, &text);
    if (hr != S_OK) return hr;
    if (text.size() + 1 > size) return E_NOT_SUFFICIENT_BUFFER;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    if (length != nullptr) *length = static_cast<uint32_t>(text.size());
    return S_OK;
}

int32_t Attributes::getPair(const GUID& key, uint32_t* high, uint32_t* low) const {
    uint64_t packed = 0;
    int32_t hr = getUINT64(key, &packed);
    if (hr != S_OK) return hr;
    if (high != nullptr) *high = static_cast<uint32_t>(packed >> 32);
    if (low != nullptr) *low = static_cast<uint32_t>(packed);
    return S_OK;
}

int32_t Attributes::set(
    const GUID& key,
    std::variant<uint32_t, uint64_t, double, GUID, std::string, std::vector<uint8_t>> value) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_items[key] = std::move(value);
    return S_OK;
}

int32_t Attributes::setUINT32(const GUID& key, uint32_t value) { return set(key, value); }
int32_t Attributes::setUINT64(const GUID& key, uint64_t value) { return set(key, value); }
int32_t Attributes::setDouble(const GUID& key, double value) { return set(key, value); }
int32_t Attributes::setGUID(const GUID& key, const GUID& value) { return set(key, value); }
int32_t Attributes::setString(const GUID& key, const std::string& value) { return set(key, value); }
int32_t Attributes::setBlob(const GUID& key, const std::vector<uint8_t>& value) {
    return set(key, value);
}
int32_t Attributes::setPair(const GUID& key, uint32_t high, uint32_t low) {
    return set(key, (static_cast<uint64_t>(high) << 32) | low);
}

int32_t Attributes::deleteItem(const GUID& key) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_items.erase(key);
    return S_OK;
}

bool Attributes::hasItem(const GUID& key) const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_items.count(key) != 0;
}

uint32_t Attributes::getCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<uint32_t>(m_items.size());
}

std::vector<GUID> Attributes::keys() const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<GUID> out;
    out.reserve(m_items.size());
    for (const auto& item : m_items) out.push_back(item.first);
    return out;
}

}  // namespace OLK
