#include "app/file_intake.h"

#include <QFileInfo>

#include "app/add_files_panel.h"
#include "filelist/regular_files.h"
#include "options/morvane_options.h"
#include "platform/env.h"

namespace morvane {

FileIntake::FileIntake(MorvaneOptions& options, Env& env, OpenPanel& openPanel)
    : options_(options), env_(env), openPanel_(openPanel) {}

std::vector<std::filesystem::path> FileIntake::showAddFilesPanel() { return openPanel_.run(); }

void FileIntake::addFilesFromPanel() {
  for (const std::filesystem::path& path : showAddFilesPanel()) {
    QMetaObject::invokeMethod(
        this, [this, path] { options_.addFile(path); }, Qt::QueuedConnection);
  }
}

void FileIntake::addFilesNow() {
  for (const std::filesystem::path& path : openPanel_.run()) options_.addFile(path);
}

void FileIntake::openFiles(const QStringList& pathsOrUrls) {
  QList<QUrl> urls;
  for (const QString& text : pathsOrUrls) {
    // A URL has a scheme ("file:", "https:"); anything else, or a file that
    // happens to have a colon in its name, is a path, relative ones taken
    // from the current folder.
    const QUrl url(text, QUrl::StrictMode);
    const bool isUrl = url.isValid() && url.scheme().size() > 1 && !QFileInfo::exists(text);
    urls.push_back(isUrl ? url : QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath()));
  }
  openURLs(urls);
}

void FileIntake::openURLs(const QList<QUrl>& urls) {
  for (const QUrl& url : urls) openFileURL(url);
}

void FileIntake::openFileURL(const QUrl& url) {
  if (!url.isLocalFile()) return;
  const std::filesystem::path path = url.toLocalFile().toStdString();
  if (env_.stat(path).isDir && !isDocumentPackage(path)) {
    addRegularFilesInFolder(path);
  } else {
    options_.addFile(path);
  }
}

void FileIntake::addRegularFilesInFolder(const std::filesystem::path& folder) {
  for (const std::filesystem::path& file : documentsIn(folder, env_)) {
    options_.addFile(file);
  }
}

}  // namespace morvane
