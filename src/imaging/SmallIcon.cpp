#include "imaging/SmallIcon.h"

#include "imaging/Resample.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageReader>

#include <system_error>

namespace orvex {

namespace fs = std::filesystem;

namespace {

constexpr int kIconSize = 16;

// The whole file, or nothing when it cannot be opened or read. Reading into
// memory first separates failing I/O from undecodable content.
bool ReadWholeFile(const fs::path& path, QByteArray& bytes)
{
    QFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

// Ranks candidate icon entries: an exact 16 x 16 first, then the largest,
// then the deepest colour.
bool Better(const QImage& a, const QImage& b)
{
    const bool aSmall = a.size() == QSize(kIconSize, kIconSize);
    const bool bSmall = b.size() == QSize(kIconSize, kIconSize);
    if (aSmall != bSmall)
        return aSmall;
    const qint64 aArea = qint64(a.width()) * a.height();
    const qint64 bArea = qint64(b.width()) * b.height();
    if (aArea != bArea)
        return aArea > bArea;
    return a.depth() > b.depth();
}

// The picture in the bytes, chosen among an icon file's entries; null when
// nothing in them decodes. Entries that fail are passed over, so one damaged
// size does not cost the whole icon.
QImage Decode(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer); // the format is found from the content, not the name
    if (reader.format() != "ico")
        return reader.read();
    QImage best;
    const int count = reader.imageCount();
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i))
            break;
        const QImage entry = reader.read();
        if (!entry.isNull() && (best.isNull() || Better(entry, best)))
            best = entry;
    }
    return best;
}

// The picture as 24-bit pixels, transparent parts composed over white.
QImage OverWhite(const QImage& picture)
{
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    QImage out(argb.size(), kBitmapFormat);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uchar* px = out.scanLine(y);
        for (int x = 0; x < argb.width(); ++x, px += 3) {
            const int a = qAlpha(in[x]);
            const auto over = [a](int c) { return uchar((c * a + 255 * (255 - a) + 127) / 255); };
            px[0] = over(qBlue(in[x]));
            px[1] = over(qGreen(in[x]));
            px[2] = over(qRed(in[x]));
        }
    }
    return out;
}

} // namespace

bool LoadSmallIcon(const fs::path& path, QImage& bitmap)
{
    bitmap = QImage();
    std::error_code ec;
    if (!fs::exists(path, ec))
        return false;
    // Only a regular file can be judged by its content (and only one may be deleted).
    if (!fs::is_regular_file(path, ec))
        return false;
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes))
        return false;
    const QImage icon = Decode(bytes);
    if (icon.isNull()) {
        fs::remove(path, ec); // a failure only means it is tried again next time
        return false;
    }

    const QImage drawn = OverWhite(icon);
    if (drawn.size() == QSize(kIconSize, kIconSize)) {
        bitmap = drawn;
        return true;
    }
    bitmap = QImage(kIconSize, kIconSize, kBitmapFormat);
    bitmap.fill(Qt::white);
    // A picture smaller than 16 x 16 either way cannot be reduced; the blank stays.
    AreaResample(drawn, {0, 0, drawn.width(), drawn.height()}, bitmap,
                 {0, 0, kIconSize, kIconSize});
    return true;
}

} // namespace orvex
