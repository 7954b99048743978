// Symbols of the window: an icon from the desktop's icon theme by its
// freedesktop name, or Qt's own standard icon where the theme has none.
#pragma once

#include <QIcon>
#include <QStyle>

namespace morvane {

QIcon symbol(const char* themeName, QStyle::StandardPixmap fallback);

// Where the session names no icon theme of its own (a bare X server, a
// window manager without a desktop), icons the theme lacks are looked up
// in the first installed of the common freedesktop themes, so that file
// types keep their icons. A desktop's own theme stays first.
void useInstalledIconThemeAsFallback();

}  // namespace morvane
