#include "app/error_report_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QUrlQuery>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/about_dialog.h"
#include "app/qt_alert_service.h"
#include "testing/qt_helpers.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::whenModal;

std::string readFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Makes `folder` the home folder until the end of the scope.
class HomeFolder {
 public:
  explicit HomeFolder(const fs::path& folder) : previous_(qgetenv("HOME")) {
    qputenv("HOME", QByteArray::fromStdString(folder.string()));
  }
  ~HomeFolder() { qputenv("HOME", previous_); }

 private:
  QByteArray previous_;
};

void pressInBox(const QString& title) {
  whenModal<QMessageBox>([title](QMessageBox* box) {
    for (QAbstractButton* b : box->buttons()) {
      if (b->text() == title) b->click();
    }
  });
}

// Without a mail program the report is not lost: the window that shows it
// copies it to the clipboard and saves it where the save dialog says,
// which proposes morvane-error-report.txt in the home folder.
TEST(ErrorReportDialogTest, WithoutAMailProgramTheReportIsCopiedOrSaved) {
  testing::TempDir tmp;
  const HomeFolder home(tmp.path());
  int opened = 0;
  QtAlertService alerts([&opened](const QUrl&) {
    ++opened;
    return false;  // nothing takes mailto: links here
  });
  const testing::FixedSystemVersion version({6, 1, 0}, "6.1.0-18-amd64", "Debian GNU/Linux 12");
  const fs::path saved = tmp.path() / "Reports" / "report.txt";
  fs::create_directories(saved.parent_path());
  QString shownText, proposed, copied, afterCopy, afterSave;
  whenModal<ErrorReportDialog>([&](ErrorReportDialog* dialog) {
    shownText = dialog->reportText();
    dialog->copyButton()->click();
    copied = QGuiApplication::clipboard()->text();
    afterCopy = dialog->stateLabel()->text();
    whenModal<QFileDialog>([&](QFileDialog* chooser) {
      proposed = chooser->selectedFiles().value(0);
      chooser->selectFile(QString::fromStdString(saved.string()));
      static_cast<QDialog*>(chooser)->accept();
    });
    dialog->saveButton()->click();
    afterSave = dialog->stateLabel()->text();
    dialog->reject();
  });
  pressInBox("Send error report…");
  EXPECT_EQ(runFailureAlert(alerts, version, "the target folder is full"), kAlertThirdButtonReturn);
  EXPECT_EQ(opened, 1);
  EXPECT_TRUE(shownText.startsWith(
      QString::fromStdString("To: " + supportAddress() + "\nSubject: Morvane Error Report\n\n")))
      << shownText.toStdString();
  EXPECT_TRUE(shownText.contains("Kernel: 6.1.0-18-amd64\n"));
  EXPECT_TRUE(shownText.contains("Reason: the target folder is full\n"));
  EXPECT_EQ(copied, shownText);
  EXPECT_EQ(afterCopy, "The report is on the clipboard.");
  EXPECT_EQ(proposed,
            QDir(QString::fromStdString(tmp.path().string())).filePath("morvane-error-report.txt"));
  EXPECT_EQ(readFile(saved), shownText.toStdString());
  EXPECT_TRUE(afterSave.contains(QString::fromStdString(saved.string())))
      << afterSave.toStdString();
}

// A file that cannot be written is told, and the report stays to be saved
// elsewhere or copied.
TEST(ErrorReportDialogTest, AFailedSaveIsToldAndTheReportStays) {
  testing::TempDir tmp;
  ErrorReportDialog dialog({"help@example.org", "Morvane Error Report", "body\n"});
  QString error;
  EXPECT_FALSE(
      dialog.saveTo(QString::fromStdString((tmp.path() / "missing/r.txt").string()), &error));
  EXPECT_FALSE(error.isEmpty());
  const fs::path path = tmp.path() / "r.txt";
  EXPECT_TRUE(dialog.saveTo(QString::fromStdString(path.string()), &error));
  EXPECT_EQ(readFile(path), "To: help@example.org\nSubject: Morvane Error Report\n\nbody\n");

  QString told;
  whenModal<QFileDialog>([&](QFileDialog* chooser) {
    whenModal<QMessageBox>([&told](QMessageBox* box) {
      told = box->text() + "|" + box->informativeText();
      box->accept();
    });
    chooser->selectFile(QString::fromStdString((tmp.path() / "missing/r.txt").string()));
    static_cast<QDialog*>(chooser)->accept();
  });
  dialog.saveButton()->click();
  EXPECT_TRUE(told.startsWith("The report could not be saved.|")) << told.toStdString();
  EXPECT_TRUE(dialog.stateLabel()->text().isEmpty());
}

// The report names LibreOffice and the iWork reader as the About window
// found them: asked for while the failure alert is read, once, and kept.
TEST(ErrorReportDialogTest, TheReportHoldsTheBackendLookedUpOnce) {
  std::atomic<int> asked = 0;
  BackendDescription backend([&asked](std::vector<std::string>* lines) {
    ++asked;
    lines->push_back("LibreOffice 7.4.7.2");
    lines->push_back("iWork reader: libetonyek 0.1.12 (the system's)");
    return Status();
  });
  std::vector<QUrl> opened;
  QtAlertService alerts([&opened](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  alerts.setBackendDescription(&backend);
  const testing::FixedSystemVersion version({6, 1, 0});
  for (int run = 0; run < 2; ++run) {
    pressInBox("Send error report…");
    runFailureAlert(alerts, version, "the document is damaged");
  }
  ASSERT_EQ(opened.size(), 2u);
  const QString body = QUrlQuery(opened[1]).queryItemValue("body", QUrl::FullyDecoded);
  EXPECT_TRUE(
      body.contains("\nLibreOffice 7.4.7.2\niWork reader: libetonyek 0.1.12 (the system's)\n"))
      << body.toStdString();
  EXPECT_EQ(asked, 1);

  // A lookup that does not answer in time leaves the report without it.
  BackendDescription silent([](std::vector<std::string>*) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return Status::error("too late");
  });
  QtAlertService hurried([&opened](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  hurried.setBackendDescription(&silent);
  hurried.setBackendWait(std::chrono::milliseconds(20));
  EXPECT_EQ(hurried.conversionBackend(), std::vector<std::string>{});
}

}  // namespace
}  // namespace morvane
