#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "olk_export.h"

namespace OLK {

// A fixed pool of equal blocks carved from one allocation; any thread may get and release.
// Blocks are handed out first fit from the start, so low blocks are reused first.
class OLK_EXPORT FastMem {
public:
    // blockSize is rounded up to a multiple of 16. An impossible size gives an empty pool.
    FastMem(size_t count, size_t blockSize);
    ~FastMem();
    FastMem(const FastMem&) = delete;
    FastMem& operator=(const FastMem&) = delete;

    // A free block marked in use, or null when none is free.
    void* get();
    // Frees the block containing pointer; pointers outside the pool are ignored.
    void release(const void* pointer);

    size_t countTotalBlocks() const { return m_count; }
    // Read without the lock: for statistics and heuristics only.
    size_t countFreeBlocks() const;
    size_t getBlockSize() const { return m_blockSize; }

private:
    size_t _findFreeBlock() const;
    uint8_t* _get(size_t index) const { return m_base + index * m_blockSize; }

    uint8_t* m_base = nullptr;
    size_t m_count = 0;
    size_t m_blockSize = 0;
    // Atomic so that the unlocked free count stays well defined; changed only under m_lock.
    std::unique_ptr<std::atomic<uint32_t>[]> m_inUse;
    mutable std::mutex m_lock;
};

}  // namespace OLK
