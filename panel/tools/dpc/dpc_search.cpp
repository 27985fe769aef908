#include "dpc_search.h"

namespace TVR {

int dpcMidpoint(int lower, int upper) {
    return upper > lower ? upper - (upper - lower) / 2 : upper + (lower - upper) / 2;
}

void DpcSearch::restart() {
    m_lower = 0;
    m_upper = kDpcMaxThreshold;
    m_lowerTooMany = false;
}

DpcSearch::Next DpcSearch::finish(int count) {
    const int tried = trial();
    const bool fits = count < kDpcPixelLimit;
    if (m_lower == m_upper) {
        if (fits) return Next::Done;
        if (m_lower >= kDpcMaxThreshold) return Next::NoneFits;
        m_lower = m_upper = m_lower + 1;
        m_lowerTooMany = true;
        return Next::Step;
    }
    if (fits) {
        m_upper = tried;
        if (m_upper == m_lower + 1) {
            if (m_lowerTooMany) {
                // Adjacent bounds, the lower one too many: bisection has nothing left to try,
                // and the camera holds the threshold just tried.
                m_lower = m_upper;
                return Next::Done;
            }
            // The lower bound was never tried (0 at the start): try it on its own.
            m_upper = m_lower;
        }
        return Next::Step;
    }
    m_lower = (m_lower + 1 + m_upper) / 2;
    m_lowerTooMany = true;
    // Trials never pass the range's upper bound, so this is 255 itself giving too many.
    if (tried >= kDpcMaxThreshold) return Next::NoneFits;
    return Next::Step;
}

}  // namespace TVR
