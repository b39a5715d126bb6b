#include "IconFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <cstdint>

namespace orvex::oxupdate {

namespace {

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";
constexpr int kLargestEntry = 256;

std::uint32_t Be32(std::string_view bytes, std::size_t at)
{
    return (std::uint32_t(std::uint8_t(bytes[at])) << 24) |
           (std::uint32_t(std::uint8_t(bytes[at + 1])) << 16) |
           (std::uint32_t(std::uint8_t(bytes[at + 2])) << 8) | std::uint32_t(std::uint8_t(bytes[at + 3]));
}

std::uint32_t Le32(std::string_view bytes, std::size_t at)
{
    return std::uint32_t(std::uint8_t(bytes[at])) | (std::uint32_t(std::uint8_t(bytes[at + 1])) << 8) |
           (std::uint32_t(std::uint8_t(bytes[at + 2])) << 16) |
           (std::uint32_t(std::uint8_t(bytes[at + 3])) << 24);
}

void PutLe16(std::string& out, unsigned value)
{
    out.push_back(char(value & 0xFF));
    out.push_back(char((value >> 8) & 0xFF));
}

void PutLe32(std::string& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(char((value >> shift) & 0xFF));
}

// An icon directory whose every entry lies inside the bytes.
bool IsIcoContainer(std::string_view bytes)
{
    if (bytes.size() < 6 || bytes[0] != 0 || bytes[1] != 0 || bytes[2] != 1 || bytes[3] != 0)
        return false;
    const unsigned count = std::uint8_t(bytes[4]) | (unsigned(std::uint8_t(bytes[5])) << 8);
    if (count == 0 || bytes.size() < 6 + 16u * count)
        return false;
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 16u * i;
        const std::uint64_t size = Le32(bytes, entry + 8);
        const std::uint64_t offset = Le32(bytes, entry + 12);
        if (size == 0 || offset < 6 + 16u * count || offset + size > bytes.size())
            return false;
    }
    return true;
}

QByteArray AsBytes(std::string_view bytes)
{
    return QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Whether the reader finds at least one picture in an .ico.
bool IcoDecodes(std::string_view bytes)
{
    QByteArray data = AsBytes(bytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    const int count = reader.imageCount();
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i))
            break;
        if (!reader.read().isNull())
            return true;
    }
    return false;
}

std::optional<std::string> PngEntryOf(const QImage& image)
{
    QImage picture = image;
    if (picture.width() > kLargestEntry || picture.height() > kLargestEntry)
        picture = picture.scaled(kLargestEntry, kLargestEntry, Qt::KeepAspectRatio,
                                 Qt::SmoothTransformation);
    if (picture.isNull())
        return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG"))
        return std::nullopt;
    return WrapPngInIco(std::string_view(png.constData(), static_cast<std::size_t>(png.size())),
                        picture.width(), picture.height());
}

} // namespace

std::string WrapPngInIco(std::string_view png, int width, int height)
{
    std::string out;
    out.reserve(22 + png.size());
    PutLe16(out, 0); // reserved
    PutLe16(out, 1); // an icon, not a cursor
    PutLe16(out, 1); // one entry
    out.push_back(char(width >= kLargestEntry ? 0 : width)); // 0 stands for 256
    out.push_back(char(height >= kLargestEntry ? 0 : height));
    out.push_back(0); // no palette
    out.push_back(0); // reserved
    PutLe16(out, 1);  // colour planes
    PutLe16(out, 32); // bits per pixel
    PutLe32(out, static_cast<std::uint32_t>(png.size()));
    PutLe32(out, 22); // the picture follows the directory
    out.append(png);
    return out;
}

std::optional<std::string> MakeIconFile(std::string_view bytes)
{
    if (bytes.empty() || bytes.size() > kMaxIconBytes)
        return std::nullopt;
    if (IsIcoContainer(bytes)) {
        if (IcoDecodes(bytes))
            return std::string(bytes);
        // A damaged container may still hold one usable picture; the
        // decoders below get their chance at it.
    }
    const QImage image = QImage::fromData(AsBytes(bytes));
    if (image.isNull())
        return std::nullopt;
    if (bytes.size() > 24 && bytes.substr(0, kPngSignature.size()) == kPngSignature &&
        image.width() <= kLargestEntry && image.height() <= kLargestEntry &&
        Be32(bytes, 16) == std::uint32_t(image.width()) &&
        Be32(bytes, 20) == std::uint32_t(image.height()))
        return WrapPngInIco(bytes, image.width(), image.height());
    return PngEntryOf(image);
}

} // namespace orvex::oxupdate
