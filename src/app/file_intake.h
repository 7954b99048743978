// FileIntake: how files come into the list: the add-files panel (each item
// on its own turn of the event loop), the Open command (at once), and open
// requests from the desktop, where a folder brings the regular files and
// document packages below it. (Drops on the list are the views' own.)
#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <filesystem>

namespace morvane {

class Env;
class MorvaneOptions;
class OpenPanel;

class FileIntake : public QObject {
  Q_OBJECT
 public:
  // All three outlive the intake.
  FileIntake(MorvaneOptions& options, Env& env, OpenPanel& openPanel);

  // The items the user chose in the add-files panel, in panel order.
  std::vector<std::filesystem::path> showAddFilesPanel();
  // Adds each chosen item on its own turn of the event loop, in panel order.
  void addFilesFromPanel();
  // Adds the chosen items at once.
  void addFilesNow();

  // Open requests from the desktop: a folder is flattened into the regular
  // files and document packages below it (as the add-files panel chooses
  // them), anything else (a document package, a missing path too) becomes
  // one entry.
  // Texts are paths or URLs; URLs other than file URLs are ignored.
  void openFiles(const QStringList& pathsOrUrls);
  void openURLs(const QList<QUrl>& urls);
  void openFileURL(const QUrl& url);
  void addRegularFilesInFolder(const std::filesystem::path& folder);

 private:
  MorvaneOptions& options_;
  Env& env_;
  OpenPanel& openPanel_;
};

}  // namespace morvane
