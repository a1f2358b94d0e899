#include "platform/framework/qt/qt_icons.h"

#include <QImage>

namespace qtui {
namespace {

int PaletteIndex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // '.' and anything else: transparent
}

QPixmap PixmapOf(const IconResource& icon, const IconImage& image) {
    QImage result(image.width, image.height, QImage::Format_ARGB32);
    result.fill(Qt::transparent);
    for (int y = 0; y < image.height && y < static_cast<int>(image.rows.size()); ++y) {
        const char* row = image.rows[static_cast<size_t>(y)];
        for (int x = 0; x < image.width && row[x]; ++x) {
            int index = PaletteIndex(row[x]);
            if (index >= 0 && index < static_cast<int>(icon.palette.size()))
                result.setPixel(x, y, 0xFF000000u | icon.palette[static_cast<size_t>(index)]);
        }
    }
    return QPixmap::fromImage(result);
}

}  // namespace

QIcon IconFromResource(const IconResource& icon) {
    QIcon result;
    for (const IconImage& image : icon.images) result.addPixmap(PixmapOf(icon, image));
    return result;
}

QPixmap PixmapFromResource(const IconResource& icon, int size) {
    return IconFromResource(icon).pixmap(size, size);
}

}  // namespace qtui
