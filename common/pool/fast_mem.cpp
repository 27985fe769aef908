#include "pool/fast_mem.h"

#include <cstdlib>
#include <limits>
#include <new>

namespace OLK {

namespace {
constexpr size_t kBlockAlign = 16;
// Cache-line aligned so that frame rows start well placed for vector code.
constexpr size_t kBaseAlign = 64;
}  // namespace

FastMem::FastMem(size_t count, size_t blockSize) {
    if (blockSize > std::numeric_limits<size_t>::max() - (kBlockAlign - 1)) {
        return;
    }
    const size_t rounded = (blockSize + kBlockAlign - 1) / kBlockAlign * kBlockAlign;
    if (count == 0 || rounded == 0 || count > std::numeric_limits<size_t>::max() / rounded) {
        return;
    }
    const size_t bytes = count * rounded;
    const size_t padded = (bytes + kBaseAlign - 1) / kBaseAlign * kBaseAlign;
    void* base = std::aligned_alloc(kBaseAlign, padded);
    auto* flags = new (std::nothrow) std::atomic<uint32_t>[count];
    if (base == nullptr || flags == nullptr) {
        std::free(base);
        delete[] flags;
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        flags[i].store(0, std::memory_order_relaxed);
    }
    m_base = static_cast<uint8_t*>(base);
    m_count = count;
    m_blockSize = rounded;
    m_inUse.reset(flags);
}

FastMem::~FastMem() { std::free(m_base); }

size_t FastMem::_findFreeBlock() const {
    for (size_t i = 0; i < m_count; ++i) {
        if (m_inUse[i].load(std::memory_order_relaxed) != 1) {
            return i;
        }
    }
    return std::numeric_limits<size_t>::max();
}

void* FastMem::get() {
    std::lock_guard lock(m_lock);
    const size_t index = _findFreeBlock();
    if (index >= m_count) {
        return nullptr;
    }
    m_inUse[index].store(1, std::memory_order_relaxed);
    return _get(index);
}

void FastMem::release(const void* pointer) {
    if (m_count == 0) {
        return;
    }
    // Unsigned arithmetic: an address below the base wraps to a huge index and is ignored.
    const size_t index =
        (reinterpret_cast<uintptr_t>(pointer) - reinterpret_cast<uintptr_t>(m_base)) / m_blockSize;
    std::lock_guard lock(m_lock);
    if (index < m_count) {
        m_inUse[index].store(0, std::memory_order_relaxed);
    }
}

size_t FastMem::countFreeBlocks() const {
    size_t free = 0;
    for (size_t i = 0; i < m_count; ++i) {
        free += m_inUse[i].load(std::memory_order_relaxed) == 0 ? 1 : 0;
    }
    return free;
}

}  // namespace OLK
