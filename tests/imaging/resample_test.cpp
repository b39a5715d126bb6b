#include "imaging/Resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvex {
namespace {

using Pixel = std::array<int, 3>; // blue, green, red

QImage MakeImage(int w, int h, const std::function<Pixel(int, int)>& colour,
                 QImage::Format format = kBitmapFormat)
{
    QImage img(w, h, kBitmapFormat);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Pixel p = colour(x, y);
            uchar* px = img.scanLine(y) + 3 * x;
            for (int k = 0; k < 3; ++k)
                px[k] = uchar(p[k]);
        }
    return img.convertToFormat(format);
}

Pixel At(const QImage& img, int x, int y)
{
    const QImage bgr = img.convertToFormat(kBitmapFormat);
    const uchar* px = bgr.constScanLine(y) + 3 * x;
    return {px[0], px[1], px[2]};
}

// Different values in every channel, so a mixed-up channel or a misplaced block shows.
Pixel Noise(int x, int y)
{
    std::uint32_t s = std::uint32_t(x) * 73856093u ^ std::uint32_t(y) * 19349663u;
    Pixel p{};
    for (int k = 0; k < 3; ++k) {
        s = s * 1103515245u + 12345u;
        p[k] = int((s >> 16) & 0xff);
    }
    return p;
}

Pixel Uniform(int, int)
{
    return {77, 150, 201};
}

struct Span
{
    int first;
    int last;
};

// Source blocks of a 32-wide span reduced to 16: the last two indices are never used.
const std::vector<Span> k32To16 = {{0, 0},   {1, 2},   {3, 4},   {5, 6},   {7, 8},   {9, 10},
                                   {11, 12}, {13, 14}, {15, 15}, {16, 17}, {18, 19}, {20, 21},
                                   {22, 23}, {24, 25}, {26, 27}, {28, 29}};

Pixel BlockMean(const QImage& src, Span cols, Span rows)
{
    Pixel sum{};
    for (int y = rows.first; y <= rows.last; ++y)
        for (int x = cols.first; x <= cols.last; ++x)
            for (int k = 0; k < 3; ++k)
                sum[k] += At(src, x, y)[k];
    const int n = (cols.last - cols.first + 1) * (rows.last - rows.first + 1);
    Pixel mean{};
    for (int k = 0; k < 3; ++k)
        mean[k] = (2 * sum[k] + n) / (2 * n); // halves round up
    return mean;
}

TEST(AreaResample, ThirtyTwoToSixteenAveragesEachBlockAndSkipsTheLastTwoLines)
{
    const QImage src = MakeImage(32, 32, Noise);
    QImage target = MakeImage(16, 16, Uniform);
    ASSERT_TRUE(AreaResample(src, {0, 0, 32, 32}, target, {0, 0, 16, 16}));
    ASSERT_EQ(target.size(), QSize(16, 16));
    EXPECT_EQ(target.format(), kBitmapFormat);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(At(target, x, y), BlockMean(src, k32To16[x], k32To16[y]))
                << "at " << x << "," << y;

    // Whatever lies in columns and rows 30 and 31 makes no difference.
    const QImage edited = MakeImage(32, 32, [](int x, int y) {
        return x >= 30 || y >= 30 ? Pixel{255, 0, 255} : Noise(x, y);
    });
    QImage again(16, 16, kBitmapFormat);
    ASSERT_TRUE(AreaResample(edited, {0, 0, 32, 32}, again, {0, 0, 16, 16}));
    EXPECT_EQ(again, target);
}

TEST(AreaResample, MeansRoundHalfUp)
{
    // Block (1..2, 0..0) is two pixels; block (1..2, 1..2) four.
    const QImage src = MakeImage(32, 32, [](int x, int y) -> Pixel {
        if (y == 0 && (x == 1 || x == 2))
            return x == 1 ? Pixel{10, 0, 254} : Pixel{11, 1, 255}; // 10.5, 0.5, 254.5
        if (y >= 1 && y <= 2 && x >= 1 && x <= 2)
            return x == 1 && y == 1 ? Pixel{5, 3, 2} : Pixel{0, 0, 0}; // 1.25, 0.75, 0.5
        return {0, 0, 0};
    });
    QImage target(16, 16, kBitmapFormat);
    ASSERT_TRUE(AreaResample(src, {0, 0, 32, 32}, target, {0, 0, 16, 16}));
    EXPECT_EQ(At(target, 1, 0), (Pixel{11, 1, 255}));
    EXPECT_EQ(At(target, 1, 1), (Pixel{1, 1, 1}));
}

TEST(AreaResample, WorksOnSubRectanglesAndLeavesTheRestOfTheTarget)
{
    // A 32 x 32 span starting at (8, 4) of a bigger source, into a 16 x 16 span at (3, 2).
    const QImage src = MakeImage(40, 36, Noise, QImage::Format_RGB32);
    const Pixel untouched{1, 2, 3};
    QImage target = MakeImage(
        20, 20, [&](int, int) { return untouched; }, QImage::Format_RGB32);
    ASSERT_TRUE(AreaResample(src, {8, 4, 40, 36}, target, {3, 2, 19, 18}));
    EXPECT_EQ(target.format(), kBitmapFormat);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 3 && x < 19 && y >= 2 && y < 18;
            if (!inside) {
                ASSERT_EQ(At(target, x, y), untouched) << "at " << x << "," << y;
                continue;
            }
            const Span c = k32To16[x - 3];
            const Span r = k32To16[y - 2];
            ASSERT_EQ(At(target, x, y),
                      BlockMean(src, {c.first + 8, c.last + 8}, {r.first + 4, r.last + 4}))
                << "at " << x << "," << y;
        }
}

TEST(AreaResample, StaysInsideBothImagesWhenRectanglesReachOut)
{
    const QImage src = MakeImage(40, 40, Uniform);
    struct Case
    {
        PixelRect source;
        PixelRect target;
    };
    const Case cases[] = {
        {{0, 0, 40, 40}, {-4, -4, 24, 24}}, // target rectangle larger than the target
        {{0, 0, 80, 80}, {0, 0, 20, 20}},   // source rectangle larger than the source
        {{-10, -10, 30, 30}, {0, 0, 20, 20}},
    };
    for (const Case& c : cases) {
        QImage target = MakeImage(20, 20, [](int, int) { return Pixel{0, 0, 0}; });
        ASSERT_TRUE(AreaResample(src, c.source, target, c.target));
        ASSERT_EQ(target.size(), QSize(20, 20));
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                ASSERT_EQ(At(target, x, y), Uniform(x, y)) << "at " << x << "," << y;
    }
}

TEST(AreaResample, EmptyTargetRectangleWritesNothing)
{
    const QImage src = MakeImage(8, 8, Noise);
    const QImage before = MakeImage(4, 4, Uniform);
    QImage target = before;
    EXPECT_TRUE(AreaResample(src, {0, 0, 8, 8}, target, {2, 2, 2, 4}));
    EXPECT_EQ(target, before);
    QImage none;
    EXPECT_TRUE(AreaResample(src, {0, 0, 8, 8}, none, {0, 0, 16, 16}));
    EXPECT_TRUE(none.isNull());
}

// Column c and row r of a pick, with neighbours read at the edge pixel where
// they would fall outside the image.
Pixel Expected(const QImage& src, int mode, int c, int r)
{
    const auto sample = [&](int x, int y) {
        return At(src, std::clamp(x, 0, src.width() - 1), std::clamp(y, 0, src.height() - 1));
    };
    if (mode == 3)
        return sample(c, r);
    Pixel sum{};
    const int lo = mode == 1 ? -1 : 0;
    for (int dy = lo; dy <= 1; ++dy)
        for (int dx = lo; dx <= 1; ++dx)
            for (int k = 0; k < 3; ++k)
                sum[k] += sample(c + dx, r + dy)[k];
    const int n = mode == 1 ? 9 : 4;
    for (int k = 0; k < 3; ++k)
        sum[k] /= n;
    return sum;
}

struct PickCase
{
    const char* name;
    QSize source;
    QSize target;
    std::vector<int> cols; // picked source column per target column
    std::vector<int> rows; // picked source row per target row
};

// Picks worked out by hand: round(index x step) half up, then held inside
// 1..width-1 and 1..height-2.
const PickCase kPickCases[] = {
    {"whole steps", {9, 9}, {3, 3}, {1, 3, 6}, {1, 3, 6}},
    {"half steps round up", {10, 7}, {4, 3}, {1, 3, 5, 8}, {1, 2, 5}},
    {"last column and row held in", {5, 5}, {4, 4}, {1, 1, 3, 4}, {1, 1, 3, 3}},
};

TEST(QuickResample, EveryModeReadsAroundThePickedPixel)
{
    for (const PickCase& pc : kPickCases) {
        const QImage src = MakeImage(pc.source.width(), pc.source.height(), Noise);
        for (int mode = 1; mode <= 3; ++mode) {
            SCOPED_TRACE(std::string(pc.name) + ", mode " + std::to_string(mode));
            QImage target(pc.target, QImage::Format_RGB32);
            ASSERT_TRUE(QuickResample(mode, src, target));
            ASSERT_EQ(target.size(), pc.target);
            EXPECT_EQ(target.format(), kBitmapFormat);
            for (int y = 0; y < pc.target.height(); ++y)
                for (int x = 0; x < pc.target.width(); ++x)
                    ASSERT_EQ(At(target, x, y), Expected(src, mode, pc.cols[x], pc.rows[y]))
                        << "at " << x << "," << y;
        }
    }
}

TEST(QuickResample, ModesTwoAndOneRoundDown)
{
    // A 3 x 3 source reduced to one pixel picks (1, 1); the pixels read sum to 14.
    const QImage src = MakeImage(3, 3, [](int x, int y) -> Pixel {
        if (x == 1 && y == 1)
            return {12, 12, 12};
        return x == 2 && y >= 1 ? Pixel{1, 1, 1} : Pixel{0, 0, 0};
    });
    QImage two(1, 1, kBitmapFormat);
    ASSERT_TRUE(QuickResample(2, src, two));
    EXPECT_EQ(At(two, 0, 0), (Pixel{3, 3, 3})); // 14 / 4 = 3.5
    QImage one(1, 1, kBitmapFormat);
    ASSERT_TRUE(QuickResample(1, src, one));
    EXPECT_EQ(At(one, 0, 0), (Pixel{1, 1, 1})); // 14 / 9 = 1.56
}

TEST(QuickResample, ModeThreeAtEqualSizeCopiesExceptThreeEdges)
{
    for (const QSize size : {QSize(6, 5), QSize(3, 3), QSize(2, 3)}) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        const QImage src = MakeImage(size.width(), size.height(), Noise);
        QImage target(size, kBitmapFormat);
        ASSERT_TRUE(QuickResample(3, src, target));
        const int w = size.width();
        const int h = size.height();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                // Row 0 repeats row 1, the last row the second-last, column 0 column 1.
                const int sy = y == 0 ? 1 : y == h - 1 ? h - 2 : y;
                const int sx = x == 0 ? 1 : x;
                ASSERT_EQ(At(target, x, y), At(src, sx, sy)) << "at " << x << "," << y;
            }
    }
}

TEST(QuickResample, TinySourcesStayInsideTheImage)
{
    const QSize cases[][2] = {
        {{1, 1}, {1, 1}}, {{2, 2}, {1, 1}}, {{2, 2}, {2, 2}}, {{1, 4}, {1, 2}},
        {{4, 1}, {2, 1}}, {{2, 1}, {2, 1}}, {{1, 2}, {1, 2}}, {{3, 2}, {3, 2}},
    };
    for (const auto& c : cases) {
        const QImage src = MakeImage(c[0].width(), c[0].height(), Uniform);
        for (int mode = 1; mode <= 3; ++mode) {
            SCOPED_TRACE(std::to_string(c[0].width()) + "x" + std::to_string(c[0].height()) +
                         " mode " + std::to_string(mode));
            QImage target(c[1], kBitmapFormat);
            ASSERT_TRUE(QuickResample(mode, src, target));
            ASSERT_EQ(target.size(), c[1]);
            for (int y = 0; y < c[1].height(); ++y)
                for (int x = 0; x < c[1].width(); ++x)
                    ASSERT_EQ(At(target, x, y), Uniform(x, y)) << "at " << x << "," << y;
        }
    }
}

TEST(QuickResample, EmptyTargetBecomesOnePixel)
{
    const QImage src = MakeImage(5, 4, Noise);
    QImage target;
    ASSERT_TRUE(QuickResample(3, src, target));
    ASSERT_EQ(target.size(), QSize(1, 1));
    EXPECT_EQ(At(target, 0, 0), At(src, 1, 1));
}

// Every refusal leaves the target exactly as it was, format included.
TEST(Resample, RefusesAndLeavesTheTargetAlone)
{
    struct Case
    {
        const char* name;
        bool area;
        int mode;
        QSize source;
        QSize target;
    };
    const Case cases[] = {
        {"area: source narrower", true, 0, {10, 10}, {11, 5}},
        {"area: source lower", true, 0, {10, 10}, {5, 11}},
        {"area: empty source", true, 0, {0, 0}, {1, 1}},
        {"quick: source narrower", false, 3, {10, 10}, {11, 5}},
        {"quick: source lower", false, 1, {10, 10}, {5, 11}},
        {"quick: empty source and target", false, 2, {0, 0}, {0, 0}},
        {"quick: unknown mode 0", false, 0, {10, 10}, {5, 5}},
        {"quick: unknown mode 4", false, 4, {10, 10}, {5, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage src =
            c.source.isEmpty() ? QImage() : MakeImage(c.source.width(), c.source.height(), Noise);
        const QImage before = c.target.isEmpty() ? QImage()
                                                 : MakeImage(c.target.width(), c.target.height(),
                                                             Uniform, QImage::Format_RGB32);
        QImage target = before;
        const bool ran = c.area ? AreaResample(src, {0, 0, c.source.width(), c.source.height()},
                                               target, {0, 0, c.target.width(), c.target.height()})
                                : QuickResample(c.mode, src, target);
        EXPECT_FALSE(ran);
        EXPECT_EQ(target.format(), before.format());
        EXPECT_EQ(target, before);
    }
}

} // namespace
} // namespace orvex
