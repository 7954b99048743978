// Symbols of the window: an icon from the desktop's icon theme by its
// freedesktop name, or Qt's own standard icon where the theme has none.
#pragma once

#include <QIcon>
#include <QStyle>

namespace morvane {

QIcon symbol(const char* themeName, QStyle::StandardPixmap fallback);

}  // namespace morvane
