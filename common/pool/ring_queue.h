#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace OLK {

// A first-in first-out queue over one array that wraps around. It allocates only when an item
// is pushed while it is full (the array then doubles), so a queue reserved for its largest
// load never allocates again: the frame path reserves when a pool or a worker count is set.
// Not thread-safe; owners lock.
template <typename T>
class RingQueue {
public:
    // Room for capacity items without allocating; keeps the queued items and their order.
    void reserve(size_t capacity) {
        if (capacity <= m_items.size()) return;
        std::vector<T> items(capacity);
        for (size_t i = 0; i < m_size; ++i) items[i] = std::move(m_items[index(i)]);
        m_items = std::move(items);
        m_head = 0;
    }

    void push_back(const T& item) {
        if (m_size == m_items.size()) reserve(m_items.empty() ? 4 : 2 * m_items.size());
        m_items[index(m_size)] = item;
        ++m_size;
    }

    // Only on a queue that is not empty.
    T& front() { return m_items[m_head]; }
    const T& front() const { return m_items[m_head]; }
    void pop_front() {
        m_head = m_head + 1 == m_items.size() ? 0 : m_head + 1;
        --m_size;
    }

    bool empty() const { return m_size == 0; }
    size_t size() const { return m_size; }
    size_t capacity() const { return m_items.size(); }
    // Empties the queue and keeps the array.
    void clear() {
        m_head = 0;
        m_size = 0;
    }

private:
    size_t index(size_t offset) const {
        const size_t i = m_head + offset;
        return i < m_items.size() ? i : i - m_items.size();
    }

    std::vector<T> m_items;
    size_t m_head = 0;
    size_t m_size = 0;
};

}  // namespace OLK
