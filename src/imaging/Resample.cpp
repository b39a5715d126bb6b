#include "imaging/Resample.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace orvex {

namespace {

// Inclusive range of source indices feeding one target column or row.
struct Span
{
    int first = 0;
    int last = 0;
};

// The blocks along one axis. The scale factor is (target span + 1) / source span;
// instead of dividing by it as a real number, each position is computed as one
// fraction whose integer division truncates toward zero exactly as trunc does,
// so no block edge can move by a rounding error.
std::vector<Span> BlockSpans(int targetFirst, int targetEnd, int clipFirst, int clipEnd,
                             int sourceFirst, int sourceEnd)
{
    std::vector<Span> spans;
    const std::int64_t num = std::int64_t(targetEnd) - targetFirst + 1; // >= 2 for any pixel
    std::int64_t den = std::int64_t(sourceEnd) - sourceFirst;
    if (den == 0)
        den = 1;
    for (std::int64_t t = clipFirst; t < clipEnd; ++t) {
        const std::int64_t first = ((t - targetFirst) * den + sourceFirst * num) / num;
        const std::int64_t last = ((t + 1 - targetFirst) * den + (sourceFirst - 1) * num) / num;
        spans.push_back({int(first), int(last)});
    }
    return spans;
}

int Clamp(std::int64_t v, int size)
{
    return int(std::clamp<std::int64_t>(v, 0, size - 1));
}

// Mean of sum over count values, halves rounded up, in integers so that an
// exact half is never lost to a floating-point error.
std::uint8_t RoundedMean(std::int64_t sum, std::int64_t count)
{
    return std::uint8_t((2 * sum + count) / (2 * count));
}

} // namespace

bool AreaResample(const QImage& source, const PixelRect& sourceRect, QImage& target,
                  const PixelRect& targetRect)
{
    if (source.width() < target.width() || source.height() < target.height())
        return false;
    const QImage src = source.convertToFormat(kBitmapFormat);
    target.convertTo(kBitmapFormat);

    const int x0 = std::max(targetRect.left, 0);
    const int x1 = std::min(targetRect.right, target.width());
    const int y0 = std::max(targetRect.top, 0);
    const int y1 = std::min(targetRect.bottom, target.height());
    if (x0 >= x1 || y0 >= y1)
        return true;
    // Written pixels lie inside the target, so the source (no smaller) is not empty.
    const std::vector<Span> cols =
        BlockSpans(targetRect.left, targetRect.right, x0, x1, sourceRect.left, sourceRect.right);
    const std::vector<Span> rows =
        BlockSpans(targetRect.top, targetRect.bottom, y0, y1, sourceRect.top, sourceRect.bottom);

    for (int y = y0; y < y1; ++y) {
        const Span rs = rows[y - y0];
        uchar* out = target.scanLine(y) + 3 * x0;
        for (int x = x0; x < x1; ++x, out += 3) {
            const Span cs = cols[x - x0];
            std::array<std::int64_t, 3> sum{};
            for (std::int64_t r = rs.first; r <= rs.last; ++r) {
                const uchar* line = src.constScanLine(Clamp(r, src.height()));
                for (std::int64_t c = cs.first; c <= cs.last; ++c) {
                    const uchar* p = line + 3 * Clamp(c, src.width());
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            // An empty block counts as one pixel (and so gives black).
            const std::int64_t count = std::max<std::int64_t>(cs.last - cs.first + 1, 1) *
                                       std::max<std::int64_t>(rs.last - rs.first + 1, 1);
            for (int k = 0; k < 3; ++k)
                out[k] = RoundedMean(sum[k], count);
        }
    }
    return true;
}

namespace {

// The source indices one target column or row reads: the picked index and its
// neighbours before and after.
struct Pick
{
    int before = 0;
    int at = 0;
    int after = 0;
};

// Picks along one axis. The step (source size / target size, never below 1 as
// the source is not smaller) is applied as an exact fraction so halves round up
// reliably. `highest` is the largest index the picking rule allows. Where the
// image is too small for that rule, or a neighbour would fall outside it, the
// nearest pixel inside stands in: the image is never read outside its rows.
std::vector<Pick> Picks(int targetSize, int sourceSize, int highest)
{
    std::vector<Pick> picks;
    for (std::int64_t t = 0; t < targetSize; ++t) {
        std::int64_t at = (2 * t * sourceSize + targetSize) / (2 * std::int64_t(targetSize));
        if (at <= 0)
            at = 1;
        if (at > highest)
            at = highest;
        picks.push_back(
            {Clamp(at - 1, sourceSize), Clamp(at, sourceSize), Clamp(at + 1, sourceSize)});
    }
    return picks;
}

} // namespace

bool QuickResample(int mode, const QImage& source, QImage& target)
{
    if (mode < 1 || mode > 3)
        return false;
    if (source.width() < target.width() || source.height() < target.height())
        return false;
    const int tw = std::max(target.width(), 1);
    const int th = std::max(target.height(), 1);
    // An empty source cannot fill even the 1 x 1 an empty target becomes.
    if (source.width() < tw || source.height() < th)
        return false;
    const QImage src = source.convertToFormat(kBitmapFormat);
    if (target.width() != tw || target.height() != th)
        target = QImage(tw, th, kBitmapFormat);
    else
        target.convertTo(kBitmapFormat);

    const int sw = src.width();
    const int sh = src.height();
    // The last picked row leaves one row below it; the last column may be the edge.
    const std::vector<Pick> cols = Picks(tw, sw, sw - 1);
    const std::vector<Pick> rows = Picks(th, sh, sh - 2);

    for (int y = 0; y < th; ++y) {
        const Pick r = rows[y];
        const uchar* above = src.constScanLine(r.before);
        const uchar* line = src.constScanLine(r.at);
        const uchar* below = src.constScanLine(r.after);
        uchar* out = target.scanLine(y);
        for (int x = 0; x < tw; ++x, out += 3) {
            const int cb = 3 * cols[x].before;
            const int c = 3 * cols[x].at;
            const int ca = 3 * cols[x].after;
            for (int k = 0; k < 3; ++k) {
                switch (mode) {
                case 3:
                    out[k] = line[c + k];
                    break;
                case 2:
                    out[k] = uchar((line[c + k] + line[ca + k] + below[c + k] + below[ca + k]) / 4);
                    break;
                default:
                    out[k] = uchar((above[cb + k] + above[c + k] + above[ca + k] + line[cb + k] +
                                    line[c + k] + line[ca + k] + below[cb + k] + below[c + k] +
                                    below[ca + k]) /
                                   9);
                    break;
                }
            }
        }
    }
    return true;
}

} // namespace orvex
