#include "app/open_request_handler.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>

#include "app/app_delegate.h"

namespace morvane {
namespace {

// More than this many missing paths are counted, not listed.
constexpr int kListedMissing = 20;

}  // namespace

OpenRequestHandler::OpenRequestHandler(AppDelegate& delegate, QObject* parent)
    : QObject(parent), delegate_(delegate) {}

void OpenRequestHandler::serve(const OpenRequest& request) {
  delegate_.openFiles(request.files);
  bringToFront(delegate_.window());
  if (!request.missing.isEmpty()) warnAboutMissing(request.missing);
}

void OpenRequestHandler::warnAboutMissing(const QStringList& missing) {
  QStringList listed = missing.mid(0, kListedMissing);
  if (missing.size() > kListedMissing) {
    listed.push_back(tr("and %n more", "After the listed paths that do not exist",
                        static_cast<int>(missing.size()) - kListedMissing));
  }
  auto* box = new QMessageBox(QMessageBox::Warning, QApplication::applicationName(),
                              tr("Nothing exists at these paths, so they were not added:",
                                 "Warning about files to open that do not exist"),
                              QMessageBox::Ok, delegate_.window());
  box->setObjectName(QStringLiteral("missingFilesWarning"));
  box->setInformativeText(listed.join('\n'));
  box->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // The user may go on working in the window while it shows.
  box->setWindowModality(Qt::NonModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->show();
}

void bringToFront(QWidget* window) {
  if (window == nullptr) return;
  window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace morvane
