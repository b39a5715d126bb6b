// Icon files made from whatever a site serves as its icon, read back the way
// the URL list reads them.
#include "IconFile.h"

#include "imaging/SmallIcon.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace orvex::oxupdate {
namespace {

std::string Encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format)) << format;
    return bytes.toStdString();
}

QImage Solid(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// The icon as the URL list shows it, or a null image.
QImage ShownIcon(const std::string& icoBytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("icon.ico"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(icoBytes.data(), static_cast<qint64>(icoBytes.size()));
    file.close();
    QImage shown;
    LoadSmallIcon(path.toStdString(), shown);
    return shown;
}

bool IsIco(const std::string& bytes)
{
    return bytes.size() > 22 && bytes.compare(0, 4, std::string("\0\0\1\0", 4)) == 0;
}

void ExpectColour(const QImage& image, QColor colour)
{
    ASSERT_FALSE(image.isNull());
    const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
    EXPECT_NEAR(centre.red(), colour.red(), 8);
    EXPECT_NEAR(centre.green(), colour.green(), 8);
    EXPECT_NEAR(centre.blue(), colour.blue(), 8);
}

// Every kind of picture a site may serve ends up as an .ico the list can show.
TEST(IconFile, PicturesBecomeReadableIcoFiles)
{
    struct Case
    {
        const char* what;
        std::string bytes;
        QColor colour;
        bool keptAsIs;
    };
    const QColor green(0, 160, 0);
    const QColor blue(0, 0, 230);
    const QColor red(230, 0, 0);
    const Case cases[] = {
        {"16x16 PNG", Encode(Solid(16, 16, green), "PNG"), green, false},
        {"32x32 PNG", Encode(Solid(32, 32, blue), "PNG"), blue, false},
        {"256x256 PNG", Encode(Solid(256, 256, red), "PNG"), red, false},
        {"600x300 PNG", Encode(Solid(600, 300, green), "PNG"), green, false},
        {"an .ico", Encode(Solid(16, 16, blue), "ICO"), blue, true},
        {"JPEG", Encode(Solid(48, 48, red).convertToFormat(QImage::Format_RGB32), "JPEG"), red, false},
        {"BMP", Encode(Solid(24, 24, green).convertToFormat(QImage::Format_RGB32), "BMP"), green, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<std::string> icon = MakeIconFile(c.bytes);
        ASSERT_TRUE(icon.has_value());
        EXPECT_TRUE(IsIco(*icon));
        if (c.keptAsIs) {
            EXPECT_EQ(*icon, c.bytes);
        }
        ExpectColour(ShownIcon(*icon), c.colour);
    }
}

// A PNG that fits an icon entry is wrapped byte for byte, not re-encoded.
TEST(IconFile, SmallPngIsWrappedUnchanged)
{
    const std::string png = Encode(Solid(32, 32, QColor(1, 2, 3)), "PNG");
    const std::optional<std::string> icon = MakeIconFile(png);
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(icon->size(), 22 + png.size());
    EXPECT_EQ(icon->substr(22), png);
    EXPECT_EQ(static_cast<unsigned char>((*icon)[6]), 32u);  // width
    EXPECT_EQ(static_cast<unsigned char>((*icon)[7]), 32u);  // height
}

TEST(IconFile, LargePictureIsReducedToAnEntryOf256)
{
    const std::optional<std::string> icon = MakeIconFile(Encode(Solid(600, 300, Qt::red), "PNG"));
    ASSERT_TRUE(icon.has_value());
    // 0 stands for 256 in the directory; the height keeps the proportion.
    EXPECT_EQ(static_cast<unsigned char>((*icon)[6]), 0u);
    EXPECT_EQ(static_cast<unsigned char>((*icon)[7]), 128u);
    const QImage entry = QImage::fromData(QByteArray::fromStdString(icon->substr(22)), "PNG");
    EXPECT_EQ(entry.size(), QSize(256, 128));
}

TEST(IconFile, WhatIsNoPictureGivesNoIcon)
{
    const std::string png = Encode(Solid(16, 16, Qt::blue), "PNG");
    std::string brokenIco = Encode(Solid(16, 16, Qt::blue), "ICO");
    brokenIco.resize(30); // the directory points past the end
    std::string corruptPng = png;
    corruptPng.resize(40);
    const std::string notPictures[] = {
        "",
        "<html><body>Not found</body></html>",
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\"/>",
        brokenIco,
        corruptPng,
        std::string("\0\0\1\0\0\0", 6), // an icon directory without entries
        std::string(kMaxIconBytes + 1, 'x'),
    };
    for (const std::string& bytes : notPictures) {
        SCOPED_TRACE(bytes.substr(0, 40));
        EXPECT_FALSE(MakeIconFile(bytes).has_value());
    }
}

TEST(IconFile, WrapWritesOneEntryDirectory)
{
    const std::string icon = WrapPngInIco("PNGDATA", 16, 48);
    const std::string expected = std::string("\0\0\1\0\1\0", 6) +           // header, one icon
                                 std::string("\x10\x30\0\0\1\0\x20\0", 8) + // size, planes, depth
                                 std::string("\7\0\0\0\x16\0\0\0", 8) +     // length, offset 22
                                 "PNGDATA";
    EXPECT_EQ(icon, expected);
}

} // namespace
} // namespace orvex::oxupdate
