// The benchmark's statistics: nearest-rank percentiles and the combining of
// rounds, the figures every table and JSON field is built from.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "tools/bench_stats.h"

namespace {

TEST(BenchSummarise, NearestRankOfOddEvenAndSingleSamples) {
    const struct {
        std::vector<double> samples;
        Timing want;
    } cases[] = {
        {{5, 1, 4, 2, 3}, {1, 2, 3}},          // unsorted, odd: the middle one
        {{4, 3, 2, 1}, {1, 1, 2}},             // even: the lower middle
        {{7}, {7, 7, 7}},                      // one sample is every rank
        {{9, 9, 1, 9}, {1, 1, 9}},             // ties
        {{8, 6, 7, 5, 3, 0, 9, 2}, {0, 2, 5}}, // p25 of 8: the 2nd smallest
    };
    for (const auto &c : cases) {
        const Timing t = Summarise(c.samples);
        EXPECT_EQ(t.min, c.want.min);
        EXPECT_EQ(t.p25, c.want.p25);
        EXPECT_EQ(t.median, c.want.median);
    }
}

TEST(BenchSummarise, RanksAreInOrderForAnyCount) {
    for (int n = 1; n <= 64; n++) {
        std::vector<double> s(n);
        std::iota(s.begin(), s.end(), 0.0);
        std::shuffle(s.begin(), s.end(), std::mt19937(n));
        const Timing t = Summarise(s);
        EXPECT_EQ(t.min, 0);
        EXPECT_LE(t.min, t.p25);
        EXPECT_LE(t.p25, t.median);
        // At least half the samples at or below the median, fewer below it.
        EXPECT_EQ(t.median, (double)((n + 1) / 2 - 1)) << n;
    }
}

TEST(BenchCombine, MinOfMinsMediansOfTheRestSpreadOfMedians) {
    const Figure f = Combine({{1, 2, 3}, {0.5, 4, 5}, {2, 3, 10}});
    EXPECT_EQ(f.t.min, 0.5);
    EXPECT_EQ(f.t.p25, 3);
    EXPECT_EQ(f.t.median, 5);
    EXPECT_EQ(f.spread.min, 3);
    EXPECT_EQ(f.spread.median, 5);
    EXPECT_EQ(f.spread.max, 10);

    const Figure one = Combine({{4, 5, 6}});
    EXPECT_EQ(one.t.min, 4);
    EXPECT_EQ(one.t.median, 6);
    EXPECT_EQ(one.spread.min, 6);
    EXPECT_EQ(one.spread.max, 6);
}

} // namespace
