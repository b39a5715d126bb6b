#pragma once

#include <QImage>

namespace orvex {

// The one bitmap layout of these routines: 24 bits per pixel, each row a run
// of blue, green, red bytes.
inline constexpr QImage::Format kBitmapFormat = QImage::Format_BGR888;

// A rectangle by its edges. Right and bottom lie one past the last pixel, so
// a whole 32 x 32 image is {0, 0, 32, 32} (QRect would count them inclusively).
struct PixelRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Box-filter reduction of sourceRect of the source into the pixels
// left <= x < right, top <= y < bottom of the target (those outside the target
// image are skipped). Each target pixel is the rounded mean of its block of
// source pixels. Refuses (false, target untouched) when the source image is
// narrower or lower than the target image; otherwise the target is converted
// to kBitmapFormat. A source rectangle reaching outside the source image
// repeats the image's edge pixels.
bool AreaResample(const QImage& source, const PixelRect& sourceRect, QImage& target,
                  const PixelRect& targetRect);

// Fast reduction of the whole source onto the whole target, for on-screen
// previews: mode 3 picks one source pixel, mode 2 averages a 2 x 2 block and
// mode 1 a 3 x 3 block around it. A target of no size becomes 1 x 1. Refuses
// (false, target untouched) when the source is narrower or lower than the
// target, or for another mode; otherwise the target ends in kBitmapFormat.
bool QuickResample(int mode, const QImage& source, QImage& target);

} // namespace orvex
