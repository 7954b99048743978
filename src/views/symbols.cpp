#include "views/symbols.h"

#include <QApplication>
#include <QDir>

namespace morvane {

QIcon symbol(const char* themeName, QStyle::StandardPixmap fallback) {
  return QIcon::fromTheme(QString::fromLatin1(themeName),
                          QApplication::style()->standardIcon(fallback));
}

void useInstalledIconThemeAsFallback() {
  const QString fallback = QIcon::fallbackThemeName();
  if (!fallback.isEmpty() && fallback != QLatin1String("hicolor")) return;
  for (const char* name : {"Adwaita", "breeze", "Papirus", "Tango", "oxygen"}) {
    for (const QString& folder : QIcon::themeSearchPaths()) {
      if (QDir(folder + '/' + QLatin1String(name)).exists(QStringLiteral("index.theme"))) {
        QIcon::setFallbackThemeName(QLatin1String(name));
        return;
      }
    }
  }
}

}  // namespace morvane
