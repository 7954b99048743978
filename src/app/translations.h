// The user's language: the application's own translations
// (morvane_<language>.qm) and Qt's for its standard dialogs and buttons,
// chosen by the system locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG). Also
// the alert texts that reach the window as LocalizedText keys rather than
// through tr(), so that they are collected for the translators.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <vector>

#include "engine/alerts.h"

class QCoreApplication;

namespace morvane {

// The folders that may hold the application's translations, in the order
// they are searched: the install's (share/morvane/translations, found
// relative to `executableDir`, the folder of the running program, so that
// any prefix and DESTDIR work), the build tree's (translations/ beside the
// program), and the configured install's.
QStringList translationFolders(const QString& executableDir);

// The files installTranslations loaded; empty where a language has none
// (English, for which the texts are written, never has one).
struct LoadedTranslations {
  QString application;
  QString qt;
};

// Installs on `app` the translators for `locale`'s languages: the
// application's from the first of translationFolders(the program's
// folder) that has one, and Qt's own (qtbase) from Qt's translations
// folder. The translators belong to `app`. Without a translation the
// English texts stay.
LoadedTranslations installTranslations(QCoreApplication& app, const QLocale& locale = QLocale());

// Every LocalizedText the engine and the application hand to the alert
// service, which looks them up in the "Morvane" context (key as source
// text, comment as disambiguation). Texts built at run time ("3 documents
// were converted.") cannot be listed and stay English.
const std::vector<LocalizedText>& alertTexts();

}  // namespace morvane
