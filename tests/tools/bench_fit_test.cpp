// The sweep's cost model: least squares of time = fixed + perUnit x work with
// the fixed part held at zero or above.
#include <gtest/gtest.h>

#include <random>

#include "tools/bench_fit.h"

namespace {

double SquaredError(const std::vector<FitPoint> &points, double fixed, double perUnit) {
    double sum = 0;
    for (const FitPoint &p : points) {
        const double e = p.time - fixed - perUnit * p.work;
        sum += e * e;
    }
    return sum;
}

TEST(BenchFit, ExactLineWithAPositiveFixedPart) {
    const LineFit f = FitNonNegativeFixed({{1000, 102000}, {4000, 108000}, {9000, 118000}});
    ASSERT_TRUE(f.have);
    EXPECT_NEAR(f.fixed, 100000, 1e-6);
    EXPECT_NEAR(f.perUnit, 2, 1e-9);
    EXPECT_NEAR(f.r2, 1, 1e-12);
    EXPECT_FALSE(f.heldAtZero);
}

TEST(BenchFit, NegativeFixedPartIsHeldAtZeroAndSaid) {
    // t = 3 x - 50: the free line meets zero work below zero time.
    const std::vector<FitPoint> points = {{100, 250}, {200, 550}, {300, 850}};
    const LineFit f = FitNonNegativeFixed(points);
    ASSERT_TRUE(f.have);
    EXPECT_TRUE(f.heldAtZero);
    EXPECT_EQ(f.fixed, 0);
    EXPECT_NEAR(f.freeFixed, -50, 1e-9);
    // The best line through the origin: the error does not fall either way.
    const double e = SquaredError(points, 0, f.perUnit);
    EXPECT_LE(e, SquaredError(points, 0, f.perUnit * (1 + 1e-6)));
    EXPECT_LE(e, SquaredError(points, 0, f.perUnit * (1 - 1e-6)));
    EXPECT_LT(f.r2, 1);
}

TEST(BenchFit, NothingToFitFromFewerThanTwoDistinctWorks) {
    EXPECT_FALSE(FitNonNegativeFixed({}).have);
    EXPECT_FALSE(FitNonNegativeFixed({{5, 10}}).have);
    EXPECT_FALSE(FitNonNegativeFixed({{5, 10}, {5, 12}, {5, 11}}).have);
}

// Random noisy points: the fit is the least-squares line among all with a
// fixed part of at least zero, checked against a search over that set.
TEST(BenchFit, NoLineWithANonNegativeFixedPartFitsBetter) {
    std::mt19937 random(22);
    std::uniform_real_distribution<double> work(1e3, 1e6), noise(-0.3, 0.3), fixed(-2e5, 2e5);
    for (int trial = 0; trial < 200; trial++) {
        std::vector<FitPoint> points;
        const double trueFixed = fixed(random), slope = 0.5 + trial % 7;
        const int n = 2 + trial % 6;
        for (int i = 0; i < n; i++) {
            const double x = work(random);
            points.push_back({x, (trueFixed + slope * x) * (1 + noise(random))});
        }
        const LineFit f = FitNonNegativeFixed(points);
        ASSERT_TRUE(f.have);
        ASSERT_GE(f.fixed, 0);
        EXPECT_EQ(f.heldAtZero, f.freeFixed < 0);
        const double best = SquaredError(points, f.fixed, f.perUnit);
        for (double df : {0.0, 1.0, 100.0, 1e4}) {
            for (double ds : {-1e-3, 0.0, 1e-3}) {
                const double a = f.fixed + df, b = f.perUnit * (1 + ds);
                EXPECT_LE(best, SquaredError(points, a, b) * (1 + 1e-9)) << trial;
            }
            if (f.fixed - df >= 0) {
                EXPECT_LE(best, SquaredError(points, f.fixed - df, f.perUnit) * (1 + 1e-9));
            }
        }
    }
}

} // namespace
