#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tools/dpc/dpc_search.h"

namespace TVR {
namespace {

// Runs a search against a count curve; the thresholds tried, and how it ended.
struct SearchRun {
    std::vector<int> tried;
    DpcSearch::Next end = DpcSearch::Next::Step;
    int result = -1;
};

SearchRun runSearch(const std::function<int(int)>& curve, int stepLimit = 600) {
    SearchRun run;
    DpcSearch search;
    for (int step = 0; step < stepLimit; ++step) {
        const int trial = search.trial();
        run.tried.push_back(trial);
        run.end = search.finish(curve(trial));
        if (run.end != DpcSearch::Next::Step) {
            run.result = trial;
            break;
        }
    }
    return run;
}

TEST(DpcSearch, MidpointIsTheMiddleTakenUpwards) {
    EXPECT_EQ(dpcMidpoint(0, 255), 128);
    EXPECT_EQ(dpcMidpoint(64, 65), 65);
    EXPECT_EQ(dpcMidpoint(7, 7), 7);
    // A reversed range counts up from its upper bound.
    EXPECT_EQ(dpcMidpoint(10, 4), 7);
    EXPECT_EQ(DpcSearch().trial(), 128);
}

TEST(DpcSearch, EndsAtTheLowestFittingThresholdForEveryStepCurve) {
    for (int fit = 0; fit <= 256; ++fit) {
        const SearchRun run = runSearch([fit](int t) { return t >= fit ? 100 : 5000; });
        SCOPED_TRACE(fit);
        ASSERT_NE(run.end, DpcSearch::Next::Step) << "the search did not end";
        EXPECT_EQ(run.tried.front(), 128);
        for (int t : run.tried) {
            EXPECT_GE(t, 0);
            EXPECT_LE(t, kDpcMaxThreshold);
        }
        // Bisection: a handful of steps, never a walk through the range.
        EXPECT_LE(run.tried.size(), 10u);
        if (fit <= kDpcMaxThreshold) {
            EXPECT_EQ(run.end, DpcSearch::Next::Done);
            EXPECT_EQ(run.result, fit);
        } else {
            EXPECT_EQ(run.end, DpcSearch::Next::NoneFits);
            EXPECT_EQ(run.result, kDpcMaxThreshold);
        }
    }
}

TEST(DpcSearch, FourThousandNinetyFiveCountsAsTooMany) {
    DpcSearch search;
    EXPECT_EQ(search.finish(kDpcPixelLimit), DpcSearch::Next::Step);
    EXPECT_EQ(search.lower(), 128);
    EXPECT_EQ(search.upper(), 255);
    EXPECT_EQ(search.finish(kDpcPixelLimit - 1), DpcSearch::Next::Step);
    EXPECT_EQ(search.upper(), 192);
}

TEST(DpcSearch, OnlyTheHighestThresholdFits) {
    const SearchRun run = runSearch([](int t) { return t == 255 ? 4094 : 4095; });
    EXPECT_EQ(run.end, DpcSearch::Next::Done);
    EXPECT_EQ(run.result, 255);
    EXPECT_EQ(run.tried, (std::vector<int>{128, 192, 224, 240, 248, 252, 254, 255}));
}

TEST(DpcSearch, NothingFitsEndsAt255WithoutWrappingToZero) {
    const SearchRun run = runSearch([](int) { return 60000; });
    EXPECT_EQ(run.end, DpcSearch::Next::NoneFits);
    EXPECT_EQ(run.tried.back(), 255);
    EXPECT_EQ(run.tried, (std::vector<int>{128, 192, 224, 240, 248, 252, 254, 255}));
}

TEST(DpcSearch, CollapsedRangeClimbsInSingleStepsAndStopsAt255) {
    DpcSearch search;
    ASSERT_EQ(search.finish(60000), DpcSearch::Next::Step);  // 128 too many
    search.collapse();
    EXPECT_EQ(search.lower(), 128);
    EXPECT_EQ(search.upper(), 128);
    EXPECT_EQ(search.trial(), 128);
    EXPECT_EQ(search.finish(kDpcStoppedCount), DpcSearch::Next::Step);
    EXPECT_EQ(search.trial(), 129);
    EXPECT_EQ(search.finish(1000), DpcSearch::Next::Done);

    DpcSearch top;
    for (int i = 0; i < 7; ++i) ASSERT_EQ(top.finish(60000), DpcSearch::Next::Step);
    EXPECT_EQ(top.trial(), 255);
    top.collapse();
    EXPECT_EQ(top.trial(), 254);
    ASSERT_EQ(top.finish(kDpcStoppedCount), DpcSearch::Next::Step);
    EXPECT_EQ(top.trial(), 255);
    EXPECT_EQ(top.finish(60000), DpcSearch::Next::NoneFits);
    EXPECT_EQ(top.lower(), 255);
}

TEST(DpcSearch, EverythingFittingEndsAtZero) {
    const SearchRun run = runSearch([](int) { return 0; });
    EXPECT_EQ(run.end, DpcSearch::Next::Done);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.tried, (std::vector<int>{128, 64, 32, 16, 8, 4, 2, 1, 0}));
}

TEST(DpcSearch, ARestartForgetsTheLastRun) {
    DpcSearch search;
    search.finish(60000);
    search.finish(0);
    search.restart();
    EXPECT_EQ(search.lower(), 0);
    EXPECT_EQ(search.upper(), 255);
    // 0 is untried again: an all-fitting curve still reaches it.
    for (int i = 0; i < 8; ++i) ASSERT_EQ(search.finish(0), DpcSearch::Next::Step);
    EXPECT_EQ(search.trial(), 0);
}

}  // namespace
}  // namespace TVR
