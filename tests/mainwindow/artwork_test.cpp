// The program's drawn icons: every one exists at the list's 16 pixels, shows
// something, and no two look the same.

#include "mainwindow/Artwork.h"

#include <QImage>
#include <gtest/gtest.h>

#include <vector>

using namespace orvex;

namespace {

struct Named
{
    QString name;
    QIcon icon;
};

std::vector<Named> EveryIcon()
{
    std::vector<Named> icons{{"app", AppIcon()}};
    for (auto state : {UrlStateIcon::Updating, UrlStateIcon::NoStatus, UrlStateIcon::Answered,
                       UrlStateIcon::Failed, UrlStateIcon::Checking})
        icons.push_back({QString("state %1").arg(int(state)), StateIcon(state)});
    for (int i = 0; i < kToolIconCount; ++i)
        icons.push_back({QString("tool %1").arg(i), ToolIconOf(ToolIcon(i))});
    return icons;
}

QImage At(const QIcon& icon, int size)
{
    return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

int OpaquePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 128;
    return count;
}

} // namespace

TEST(Artwork, EveryIconIsDrawnAtListAndToolBarSizes)
{
    for (const Named& named : EveryIcon()) {
        for (int size : {16, 24}) {
            const QImage image = At(named.icon, size);
            ASSERT_FALSE(image.isNull()) << named.name.toStdString();
            EXPECT_EQ(image.size(), QSize(size, size)) << named.name.toStdString();
            const bool blank = named.name == QString("tool %1").arg(int(ToolIcon::BlankIcon));
            // Something visible, but not a filled square (a drawing gone wrong).
            if (blank)
                EXPECT_EQ(OpaquePixels(image), 0);
            else {
                EXPECT_GT(OpaquePixels(image), size * size / 16) << named.name.toStdString() << " " << size;
                EXPECT_LT(OpaquePixels(image), size * size) << named.name.toStdString() << " " << size;
            }
        }
    }
}

TEST(Artwork, NoTwoIconsLookAlike)
{
    const std::vector<Named> icons = EveryIcon();
    for (std::size_t a = 0; a < icons.size(); ++a)
        for (std::size_t b = a + 1; b < icons.size(); ++b)
            EXPECT_NE(At(icons[a].icon, 16), At(icons[b].icon, 16))
                << icons[a].name.toStdString() << " vs " << icons[b].name.toStdString();
}

TEST(Artwork, RepeatedCallsGiveTheSameIcon)
{
    EXPECT_EQ(ToolIconOf(ToolIcon::Cut).cacheKey(), ToolIconOf(ToolIcon::Cut).cacheKey());
    EXPECT_EQ(StateIcon(UrlStateIcon::Failed).cacheKey(), StateIcon(UrlStateIcon::Failed).cacheKey());
}

TEST(Artwork, ProductPictureShowsTheMotifAndName)
{
    const QImage picture = ProductPicture().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(picture.size(), QSize(96, 96));
    EXPECT_GT(OpaquePixels(picture.copy(0, 0, 96, 64)), 1000);  // the motif
    EXPECT_GT(OpaquePixels(picture.copy(0, 64, 96, 32)), 100);  // the name below it
}
