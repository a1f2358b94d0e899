// Icon resources as Qt icons and pixmaps.
#pragma once

#include <QIcon>
#include <QPixmap>

#include "platform/framework/afxres.h"

namespace qtui {

QIcon IconFromResource(const IconResource& icon);
// The image closest to the size, scaled to it.
QPixmap PixmapFromResource(const IconResource& icon, int size);

}  // namespace qtui
