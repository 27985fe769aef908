#pragma once

// The undo history of a curve editor: changes of one slider (or of a slider and its four
// neighbours), where quick repeated changes of the same slider merge into one entry. Entries
// below top() are done, the others can be redone. Window thread.

#include <cstdint>
#include <optional>
#include <vector>

namespace TVR {

struct CGUndoEntry {
    uint64_t index = 0;
    int32_t oldPos = 0;
    bool grouped = false;  // the slider and its four neighbours moved
    int32_t newPos = 0;
    int64_t time = 0;  // nanoseconds, steady clock
    bool operator==(const CGUndoEntry&) const = default;
};

class CGUndoHistory {
public:
    // Changes of one slider this close together merge.
    static constexpr int64_t kMergeNs = 399'999'999;

    void record(uint64_t index, int32_t oldPos, int32_t newPos, bool grouped, int64_t nowNs);
    // The entry to revert; top() moves down. Empty when nothing is done.
    std::optional<CGUndoEntry> undo();
    // The entry to apply again; top() moves up. Empty when nothing is undone.
    std::optional<CGUndoEntry> redo();

    size_t top() const { return m_top; }
    const std::vector<CGUndoEntry>& entries() const { return m_entries; }

private:
    std::vector<CGUndoEntry> m_entries;
    size_t m_top = 0;
};

}  // namespace TVR
