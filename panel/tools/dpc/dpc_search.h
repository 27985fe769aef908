#pragma once

// The arithmetic of the automatic DPC threshold search: the range of thresholds still in
// question, the trial threshold of the next step and what a step's pixel count does to the
// range. The search always ends: at the lowest threshold whose count fits, or with no fitting
// threshold up to 255. Plain value type; any thread.

namespace TVR {

inline constexpr int kDpcMaxThreshold = 255;
// A count fits below this (the camera's defect table takes 4K entries).
inline constexpr int kDpcPixelLimit = 4095;
// What a stopped step counts as: too many, so the search goes on upwards.
inline constexpr int kDpcStoppedCount = 4096;

// The trial threshold of a range: the middle taken upwards.
int dpcMidpoint(int lower, int upper);

class DpcSearch {
public:
    enum class Next {
        Step,      // try trial() next
        Done,      // trial() is the lowest threshold that fits
        NoneFits,  // not even the highest threshold fits
    };

    int lower() const { return m_lower; }
    int upper() const { return m_upper; }
    int trial() const { return dpcMidpoint(m_lower, m_upper); }

    // Back to the whole range 0..255.
    void restart();
    // The user stopped the bisection: the range shrinks to its lower bound, from where the
    // search goes on in single steps upwards.
    void collapse() { m_upper = m_lower; }
    // The step that tried trial() reported `count` pixels.
    Next finish(int count);

private:
    int m_lower = 0;
    int m_upper = kDpcMaxThreshold;
    // Whether the lower bound was tried and gave too many; 0 is not tried at the start.
    bool m_lowerTooMany = false;
};

}  // namespace TVR
