#include "app/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

// From the install layout: the translations' folder relative to the
// programs' folder, and the configured install's absolute one.
#ifndef MORVANE_TRANSLATIONS_RELATIVE_DIR
#define MORVANE_TRANSLATIONS_RELATIVE_DIR "../share/morvane/translations"
#endif
#ifndef MORVANE_TRANSLATIONS_DIR
#define MORVANE_TRANSLATIONS_DIR "/usr/local/share/morvane/translations"
#endif

namespace morvane {

QStringList translationFolders(const QString& executableDir) {
  const QDir programs(executableDir);
  return {QDir::cleanPath(programs.filePath(QStringLiteral(MORVANE_TRANSLATIONS_RELATIVE_DIR))),
          programs.filePath(QStringLiteral("translations")),
          QStringLiteral(MORVANE_TRANSLATIONS_DIR)};
}

namespace {

// Loads `name`_<language>.qm for the locale from the first folder that has
// one and installs it; returns its file, empty when none was found.
QString installFirst(QCoreApplication& app, const QLocale& locale, const QString& name,
                     const QStringList& folders) {
  for (const QString& folder : folders) {
    auto* translator = new QTranslator(&app);
    if (translator->load(locale, name, QStringLiteral("_"), folder)) {
      QCoreApplication::installTranslator(translator);
      return translator->filePath();
    }
    delete translator;
  }
  return {};
}

}  // namespace

LoadedTranslations installTranslations(QCoreApplication& app, const QLocale& locale) {
  LoadedTranslations loaded;
  loaded.qt = installFirst(app, locale, QStringLiteral("qtbase"),
                           {QLibraryInfo::path(QLibraryInfo::TranslationsPath)});
  // Installed last, looked up first.
  loaded.application = installFirst(app, locale, QStringLiteral("morvane"),
                                    translationFolders(QCoreApplication::applicationDirPath()));
  return loaded;
}

const std::vector<LocalizedText>& alertTexts() {
  // Marked for lupdate in the context QtAlertService translates them in.
  static const std::vector<LocalizedText> texts = {
      // The buttons of every alert.
      QT_TRANSLATE_NOOP3("Morvane", "OK", "OK button"),
      QT_TRANSLATE_NOOP3("Morvane", "Cancel", "Cancel button"),
      QT_TRANSLATE_NOOP3("Morvane", "Send error report…", "Send error report…"),
      // The run's questions and outcomes.
      QT_TRANSLATE_NOOP3("Morvane", "No target folder", "Alert title when no target is selected"),
      QT_TRANSLATE_NOOP3("Morvane",
                         "Please choose a target folder where the converted files should be stored",
                         "Alert message when no target is selected"),
      QT_TRANSLATE_NOOP3("Morvane", "Before we start conversion",
                         "Alert title before conversion starts"),
      QT_TRANSLATE_NOOP3("Morvane",
                         "Close all open documents in Pages, Numbers and Keynote. Confirm to "
                         "continue…",
                         "Alert message before conversion starts"),
      QT_TRANSLATE_NOOP3("Morvane", "Success",
                         "Alert title when conversion completed successfully"),
      QT_TRANSLATE_NOOP3("Morvane", "Did complete conversion.",
                         "Alert message when conversion completed"),
      QT_TRANSLATE_NOOP3("Morvane", "Error",
                         "Alert title when an error was received from the AppleScript"),
      QT_TRANSLATE_NOOP3("Morvane", "There was an error during the conversion.",
                         "Alert message when conversion failed"),
      QT_TRANSLATE_NOOP3("Morvane", "Conversion cancelled",
                         "Alert title when the user cancelled a conversion"),
      QT_TRANSLATE_NOOP3("Morvane",
                         "What was converted before the cancel stays in the target folder.",
                         "Alert message when the user cancelled a conversion"),
      // The window's own question.
      QT_TRANSLATE_NOOP3("Morvane", "A conversion is running",
                         "Alert title when the window is closed during a conversion"),
      QT_TRANSLATE_NOOP3("Morvane",
                         "Cancel the conversion and close the window? What is converted stays.",
                         "Alert message when the window is closed during a conversion"),
  };
  return texts;
}

}  // namespace morvane
