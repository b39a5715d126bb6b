#include "imaging/Resample.h"
#include "imaging/SmallIcon.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace orvex {
namespace {

using Pixel = std::array<int, 3>; // blue, green, red

Pixel At(const QImage& img, int x, int y)
{
    const QImage bgr = img.convertToFormat(kBitmapFormat);
    const uchar* px = bgr.constScanLine(y) + 3 * x;
    return {px[0], px[1], px[2]};
}

QImage Filled(int w, int h, QRgb argb)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(argb);
    return img;
}

void PutLe(QByteArray& out, quint32 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((v >> (8 * i)) & 0xff));
}

// One image of an icon file: a 32-bit BMP (with its AND mask), or PNG bytes.
// A broken entry points past the end of the file.
struct IcoEntry
{
    QImage image;
    bool png = false;
    bool broken = false;
};

QByteArray BmpEntryBytes(const QImage& picture)
{
    const QImage img = picture.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width();
    const int h = img.height();
    const int maskStride = (w + 31) / 32 * 4;
    QByteArray out;
    PutLe(out, 40, 4); // BITMAPINFOHEADER
    PutLe(out, w, 4);
    PutLe(out, 2 * h, 4); // colour rows plus mask rows
    PutLe(out, 1, 2);
    PutLe(out, 32, 2);
    PutLe(out, 0, 4); // uncompressed
    PutLe(out, w * h * 4 + maskStride * h, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    for (int y = h - 1; y >= 0; --y) // bottom-up
        for (int x = 0; x < w; ++x)
            PutLe(out, img.pixel(x, y), 4); // B, G, R, A in memory
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < w; ++x)
            if (qAlpha(img.pixel(x, y)) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out += row;
    }
    return out;
}

QByteArray Encoded(const QImage& img, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, format);
    return bytes;
}

QByteArray IcoFile(const std::vector<IcoEntry>& entries)
{
    QByteArray head;
    QByteArray body;
    PutLe(head, 0, 2);
    PutLe(head, 1, 2); // icon
    PutLe(head, quint32(entries.size()), 2);
    const int dataStart = 6 + 16 * int(entries.size());
    for (const IcoEntry& e : entries) {
        const QByteArray data = e.png ? Encoded(e.image, "PNG") : BmpEntryBytes(e.image);
        head.append(char(e.image.width() & 0xff)); // 256 is written as 0
        head.append(char(e.image.height() & 0xff));
        head.append('\0'); // no palette
        head.append('\0');
        PutLe(head, 1, 2);  // planes
        PutLe(head, 32, 2); // bits per pixel
        PutLe(head, quint32(data.size()), 4);
        PutLe(head, e.broken ? 0x100000u : quint32(dataStart + body.size()), 4);
        if (!e.broken)
            body += data;
    }
    return head + body;
}

void WriteFile(const fs::path& path, const QByteArray& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
}

class SmallIconTest : public ::testing::Test
{
protected:
    fs::path IconPath(const char* name = "0123456789abcdefghi.ico") const
    {
        return fs::path(dir_.path().toStdString()) / name;
    }

    QTemporaryDir dir_;
};

TEST_F(SmallIconTest, MissingFileGivesFalseAndNoBitmap)
{
    QImage bitmap(5, 5, kBitmapFormat);
    EXPECT_FALSE(LoadSmallIcon(IconPath(), bitmap));
    EXPECT_TRUE(bitmap.isNull());
}

TEST_F(SmallIconTest, SixteenBySixteenIsTakenAsIsOverWhite)
{
    QImage icon(16, 16, QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            icon.setPixel(x, y, qRgba(x * 16, y * 16, 200, 255));
    icon.setPixel(0, 0, qRgba(0, 0, 0, 0));    // clear: white
    icon.setPixel(1, 0, qRgba(0, 0, 0, 128));  // half black: mid grey
    icon.setPixel(2, 0, qRgba(255, 0, 0, 64)); // faint red
    WriteFile(IconPath(), IcoFile({{icon}}));

    QImage bitmap;
    ASSERT_TRUE(LoadSmallIcon(IconPath(), bitmap));
    ASSERT_EQ(bitmap.size(), QSize(16, 16));
    EXPECT_EQ(bitmap.format(), kBitmapFormat);
    EXPECT_EQ(At(bitmap, 0, 0), (Pixel{255, 255, 255}));
    EXPECT_EQ(At(bitmap, 1, 0), (Pixel{127, 127, 127}));
    EXPECT_EQ(At(bitmap, 2, 0), (Pixel{191, 191, 255}));
    for (int y = 1; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(At(bitmap, x, y), (Pixel{200, y * 16, x * 16})) << "at " << x << "," << y;
    EXPECT_TRUE(fs::exists(IconPath()));
}

TEST_F(SmallIconTest, PicksTheSixteenEntryElseTheLargest)
{
    const QRgb red = qRgb(220, 10, 10);
    const QRgb green = qRgb(10, 200, 30);
    const QRgb blue = qRgb(20, 40, 230);
    struct Case
    {
        const char* name;
        std::vector<IcoEntry> entries;
        QRgb expected;
    };
    const Case cases[] = {
        {"16 among larger ones",
         {{Filled(32, 32, red)}, {Filled(16, 16, green)}, {Filled(48, 48, blue)}},
         green},
        {"largest without a 16",
         {{Filled(32, 32, red)}, {Filled(48, 48, blue)}, {Filled(24, 24, green)}},
         blue},
        {"16 stored as PNG", {{Filled(32, 32, red)}, {Filled(16, 16, green), true}}, green},
        {"larger one stored as PNG", {{Filled(32, 32, red), true}}, red},
        {"damaged 16 passed over",
         {{Filled(16, 16, green), false, true}, {Filled(32, 32, red)}},
         red},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(IconPath(), IcoFile(c.entries));
        QImage bitmap;
        ASSERT_TRUE(LoadSmallIcon(IconPath(), bitmap));
        ASSERT_EQ(bitmap.size(), QSize(16, 16));
        const Pixel want{qBlue(c.expected), qGreen(c.expected), qRed(c.expected)};
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(At(bitmap, x, y), want) << "at " << x << "," << y;
    }
}

TEST_F(SmallIconTest, FortyEightIsAreaAveragedToSixteen)
{
    // One-pixel checkerboard; the last three lines (never sampled) are red.
    QImage icon(48, 48, QImage::Format_ARGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x)
            icon.setPixel(x, y,
                          x >= 45 || y >= 45 ? qRgb(255, 0, 0)
                          : (x + y) % 2      ? qRgb(255, 255, 255)
                                             : qRgb(0, 0, 0));
    WriteFile(IconPath(), IcoFile({{icon}}));

    QImage bitmap;
    ASSERT_TRUE(LoadSmallIcon(IconPath(), bitmap));
    ASSERT_EQ(bitmap.size(), QSize(16, 16));
    // First source index of each target line; each block ends before the next,
    // the last at 44.
    const int starts[17] = {0, 2, 5, 8, 11, 14, 16, 19, 22, 25, 28, 31, 33, 36, 39, 42, 45};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            int white = 0;
            int count = 0;
            for (int sy = starts[y]; sy < starts[y + 1]; ++sy)
                for (int sx = starts[x]; sx < starts[x + 1]; ++sx, ++count)
                    white += (sx + sy) % 2;
            const int grey = (2 * white * 255 + count) / (2 * count);
            ASSERT_EQ(At(bitmap, x, y), (Pixel{grey, grey, grey})) << "at " << x << "," << y;
        }
}

TEST_F(SmallIconTest, ReadsOtherImageFormatsStoredUnderTheIconName)
{
    struct Case
    {
        const char* format;
        int size;
        int tolerance; // JPEG is lossy
    };
    const Case cases[] = {{"PNG", 16, 0}, {"PNG", 32, 0}, {"BMP", 16, 0}, {"JPEG", 16, 3}};
    const QRgb colour = qRgb(40, 120, 210);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + std::to_string(c.size));
        WriteFile(IconPath(), Encoded(Filled(c.size, c.size, colour), c.format));
        QImage bitmap;
        ASSERT_TRUE(LoadSmallIcon(IconPath(), bitmap));
        ASSERT_EQ(bitmap.size(), QSize(16, 16));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const Pixel p = At(bitmap, x, y);
                ASSERT_NEAR(p[0], qBlue(colour), c.tolerance);
                ASSERT_NEAR(p[1], qGreen(colour), c.tolerance);
                ASSERT_NEAR(p[2], qRed(colour), c.tolerance);
            }
    }
}

TEST_F(SmallIconTest, PictureSmallerThanSixteenLeavesTheBlankBitmap)
{
    // A 1 x 1 black GIF: readable, but too small to reduce to 16 x 16.
    const QByteArray gif = QByteArray::fromHex("474946383961 0100 0100"    // GIF89a, 1 x 1
                                               "80 00 00 ffffff 000000"    // palette: white, black
                                               "2c 0000 0000 0100 0100 00" // image block
                                               "02 02 4c01 00"             // pixel: colour 1
                                               "3b");
    WriteFile(IconPath(), gif);
    QImage bitmap;
    ASSERT_TRUE(LoadSmallIcon(IconPath(), bitmap));
    ASSERT_EQ(bitmap.size(), QSize(16, 16));
    EXPECT_EQ(At(bitmap, 0, 0), (Pixel{255, 255, 255}));
    EXPECT_EQ(At(bitmap, 15, 15), (Pixel{255, 255, 255}));
    EXPECT_TRUE(fs::exists(IconPath()));
}

TEST_F(SmallIconTest, UndecodableFileIsDeleted)
{
    const QByteArray png = Encoded(Filled(16, 16, qRgb(1, 2, 3)), "PNG");
    struct Case
    {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"text", "<html><body>Not Found</body></html>"},
        {"icon whose only entry lies past the end", IcoFile({{Filled(16, 16, 0), false, true}})},
        {"cut-off PNG", png.left(30)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(IconPath(), c.bytes);
        QImage bitmap(3, 3, kBitmapFormat);
        EXPECT_FALSE(LoadSmallIcon(IconPath(), bitmap));
        EXPECT_TRUE(bitmap.isNull());
        EXPECT_FALSE(fs::exists(IconPath()));
    }
}

TEST_F(SmallIconTest, FolderByTheIconNameIsKept)
{
    fs::create_directory(IconPath());
    QImage bitmap;
    EXPECT_FALSE(LoadSmallIcon(IconPath(), bitmap));
    EXPECT_TRUE(bitmap.isNull());
    EXPECT_TRUE(fs::is_directory(IconPath()));
}

TEST_F(SmallIconTest, FileThatCannotBeOpenedIsKept)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root from reading";
    WriteFile(IconPath(), "garbage that would otherwise be deleted");
    fs::permissions(IconPath(), fs::perms::none);
    QImage bitmap;
    EXPECT_FALSE(LoadSmallIcon(IconPath(), bitmap));
    EXPECT_TRUE(bitmap.isNull());
    EXPECT_TRUE(fs::exists(IconPath()));
}

} // namespace
} // namespace orvex
