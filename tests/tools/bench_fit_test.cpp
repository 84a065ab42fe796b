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

// The triangle sweep's model: fixed + per triangle (+ per pixel where the
// sizes vary), the same rules for the fixed part.
double CostError(const std::vector<CostPoint> &points, double fixed, double t, double px) {
    double sum = 0;
    for (const CostPoint &p : points) {
        const double e = p.time - fixed - t * p.triangles - px * p.pixels;
        sum += e * e;
    }
    return sum;
}

TEST(BenchCostFit, ExactPlaneOverTrianglesAndPixels) {
    // 2 ms + 180 ns a triangle + 1.5 ns a pixel, at two sizes.
    std::vector<CostPoint> points;
    for (double t : {3674.0, 58784.0, 940544.0})
        for (double px : {320.0 * 240, 1920.0 * 1080})
            points.push_back({t, px, 2e6 + 180 * t + 1.5 * px});
    const CostFit f = FitCost(points);
    ASSERT_TRUE(f.have);
    EXPECT_TRUE(f.byTriangles && f.byPixels);
    EXPECT_NEAR(f.fixed, 2e6, 1e-3);
    EXPECT_NEAR(f.perTriangle, 180, 1e-9);
    EXPECT_NEAR(f.perPixel, 1.5, 1e-9);
    EXPECT_NEAR(f.r2, 1, 1e-12);
}

TEST(BenchCostFit, OneSizeFitsTheTrianglesAloneAsTheLineFitDoes) {
    std::vector<CostPoint> points = {{3674, 2073600, 4.1e6},
                                     {14696, 2073600, 5.0e6},
                                     {58784, 2073600, 14.9e6},
                                     {235136, 2073600, 52e6}};
    std::vector<FitPoint> line;
    for (const CostPoint &p : points) line.push_back({p.triangles, p.time});
    const CostFit f = FitCost(points);
    const LineFit l = FitNonNegativeFixed(line);
    ASSERT_TRUE(f.have && l.have);
    EXPECT_TRUE(f.byTriangles);
    EXPECT_FALSE(f.byPixels);
    EXPECT_EQ(f.perPixel, 0);
    EXPECT_NEAR(f.fixed, l.fixed, 1e-6 * l.fixed + 1e-6);
    EXPECT_NEAR(f.perTriangle, l.perUnit, 1e-9 * l.perUnit);
    EXPECT_EQ(f.heldAtZero, l.heldAtZero);
    // And held at zero the same way: t = 3 x - 50.
    const CostFit h = FitCost({{100, 1, 250}, {200, 1, 550}, {300, 1, 850}});
    const LineFit hl = FitNonNegativeFixed({{100, 250}, {200, 550}, {300, 850}});
    ASSERT_TRUE(h.have);
    EXPECT_TRUE(h.heldAtZero);
    EXPECT_EQ(h.fixed, 0);
    EXPECT_NEAR(h.freeFixed, -50, 1e-9);
    EXPECT_NEAR(h.perTriangle, hl.perUnit, 1e-12);
}

TEST(BenchCostFit, NothingToFitWithoutDistinctPoints) {
    EXPECT_FALSE(FitCost({}).have);
    EXPECT_FALSE(FitCost({{100, 5, 1e6}}).have);
    EXPECT_FALSE(FitCost({{100, 5, 1e6}, {100, 5, 2e6}}).have);
    // Triangles and pixels that rise together cannot be told apart.
    EXPECT_FALSE(FitCost({{1, 10, 5}, {2, 20, 7}, {3, 30, 9}}).have);
}

// Noisy points with both terms: no plane with a fixed part of at least zero
// fits better (nudged along each term).
TEST(BenchCostFit, NoPlaneWithANonNegativeFixedPartFitsBetter) {
    std::mt19937 random(24);
    std::uniform_real_distribution<double> noise(-0.3, 0.3), fixed(-2e6, 2e6);
    for (int trial = 0; trial < 100; trial++) {
        std::vector<CostPoint> points;
        const double trueFixed = fixed(random);
        for (double t : {3674.0, 58784.0, 940544.0})
            for (double px : {76800.0, 2073600.0})
                points.push_back({t, px, (trueFixed + 200 * t + 2 * px) * (1 + noise(random))});
        const CostFit f = FitCost(points);
        ASSERT_TRUE(f.have);
        ASSERT_GE(f.fixed, 0);
        EXPECT_EQ(f.heldAtZero, f.freeFixed < 0);
        const double best = CostError(points, f.fixed, f.perTriangle, f.perPixel);
        for (double d : {-1e-3, 1e-3}) {
            EXPECT_LE(best,
                      CostError(points, f.fixed, f.perTriangle * (1 + d), f.perPixel) * (1 + 1e-9));
            EXPECT_LE(best,
                      CostError(points, f.fixed, f.perTriangle, f.perPixel * (1 + d)) * (1 + 1e-9));
        }
        EXPECT_LE(best, CostError(points, f.fixed + 1e4, f.perTriangle, f.perPixel) * (1 + 1e-9));
        if (f.fixed >= 1e4) {
            EXPECT_LE(best,
                      CostError(points, f.fixed - 1e4, f.perTriangle, f.perPixel) * (1 + 1e-9));
        }
    }
}

} // namespace
