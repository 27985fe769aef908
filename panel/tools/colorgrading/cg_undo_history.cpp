#include "cg_undo_history.h"

namespace TVR {

void CGUndoHistory::record(uint64_t index, int32_t oldPos, int32_t newPos, bool grouped,
                           int64_t nowNs) {
    m_entries.resize(m_top);
    if (m_top > 0) {
        CGUndoEntry& last = m_entries[m_top - 1];
        if (last.index == index && last.grouped == grouped && nowNs - last.time <= kMergeNs) {
            last.newPos = newPos;
            return;
        }
    }
    m_entries.push_back({index, oldPos, grouped, newPos, nowNs});
    ++m_top;
}

std::optional<CGUndoEntry> CGUndoHistory::undo() {
    if (m_top == 0) return std::nullopt;
    --m_top;
    return m_entries[m_top];
}

std::optional<CGUndoEntry> CGUndoHistory::redo() {
    if (m_top >= m_entries.size()) return std::nullopt;
    return m_entries[m_top++];
}

}  // namespace TVR
