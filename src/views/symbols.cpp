#include "views/symbols.h"

#include <QApplication>

namespace morvane {

QIcon symbol(const char* themeName, QStyle::StandardPixmap fallback) {
  return QIcon::fromTheme(QString::fromLatin1(themeName),
                          QApplication::style()->standardIcon(fallback));
}

}  // namespace morvane
