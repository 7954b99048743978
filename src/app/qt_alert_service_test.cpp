#include "app/qt_alert_service.h"
#include "app/update_checker.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QUrlQuery>

#include "testing/qt_helpers.h"
#include "testing/recording_fakes.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

using testing::whenModal;

// Presses the button titled `title` and records what the box showed.
struct BoxAnswer {
  QString title, text, informative;
  QStringList buttons;
  QMessageBox::Icon icon = QMessageBox::NoIcon;

  void press(const QString& buttonTitle) {
    whenModal<QMessageBox>([this, buttonTitle](QMessageBox* box) {
      title = box->windowTitle();
      text = box->text();
      informative = box->informativeText();
      icon = box->icon();
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      for (QAbstractButton* b : box->buttons()) {
        if (b->text() == buttonTitle) b->click();
      }
    });
  }
};

TEST(QtAlertServiceTest, AlertButtonsAnswerTheirResponses) {
  QtAlertService alerts;
  const Alert alert = makeAlert({"No target folder", ""}, {"Please choose", ""});
  BoxAnswer ok;
  ok.press("OK");
  EXPECT_EQ(alerts.runModal(alert), 1000);
  EXPECT_EQ(ok.icon, QMessageBox::Warning);
  EXPECT_EQ(ok.text, "No target folder");
  EXPECT_EQ(ok.informative, "Please choose");
  EXPECT_EQ(ok.buttons.size(), 2);
  EXPECT_TRUE(ok.buttons.contains("OK") && ok.buttons.contains("Cancel"));
  BoxAnswer cancel;
  cancel.press("Cancel");
  EXPECT_EQ(alerts.runModal(alert), 1001);
}

TEST(QtAlertServiceTest, ErrorAlertSendsTheReportByMail) {
  std::vector<QUrl> opened;
  QtAlertService alerts([&](const QUrl& url) {
    opened.push_back(url);
    return true;  // a mail program took it
  });
  const testing::FixedSystemVersion version({6, 1, 0}, "6.1.0-18-amd64", "Debian GNU/Linux 12");
  BoxAnswer send;
  send.press("Send error report…");
  EXPECT_EQ(runErrorAlert(alerts, version, {"Error", ""}, {"There was an error", ""}, "details \n"),
            1002);
  EXPECT_EQ(send.buttons, (QStringList{"OK", "Send error report…"}));  // Cancel would mean nothing
  ASSERT_EQ(opened.size(), 1u);
  const QUrl& mail = opened[0];
  EXPECT_EQ(mail.scheme(), "mailto");
  EXPECT_EQ(mail.path().toStdString(), supportAddress());
  const QUrlQuery query(mail);
  EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded), "Morvane Error Report");
  EXPECT_EQ(query.queryItemValue("body", QUrl::FullyDecoded).toStdString(),
            composeErrorReport({MORVANE_VERSION, {}, "Debian GNU/Linux 12", "6.1.0-18-amd64"},
                               "details \n")
                .body);

  BoxAnswer ok;
  ok.press("OK");
  EXPECT_EQ(runErrorAlert(alerts, version, {"Error", ""}, {"x", ""}, "r"), 1000);
  EXPECT_EQ(opened.size(), 1u);
}

class PrefixTranslator : public QTranslator {
 public:
  QString translate(const char*, const char* source, const char* comment, int) const override {
    return QString("[%1|%2]").arg(source, comment);
  }
  bool isEmpty() const override { return false; }
};

TEST(QtAlertServiceTest, TextsGoThroughTheTranslations) {
  PrefixTranslator translator;
  QCoreApplication::installTranslator(&translator);
  QtAlertService alerts;
  BoxAnswer ok;
  ok.press("[OK|OK button]");
  EXPECT_EQ(alerts.runModal(makeAlert({"Success", "Alert title when conversion completed successfully"},
                                      {"Did complete conversion.", "Alert message when conversion completed"})),
            1000);
  QCoreApplication::removeTranslator(&translator);
  EXPECT_EQ(ok.text, "[Success|Alert title when conversion completed successfully]");
  EXPECT_TRUE(ok.buttons.contains("[Cancel|Cancel button]"));
}

TEST(QtAlertServiceTest, LongTitlesAreShownWhole) {
  QtAlertService alerts;
  const std::string title =
      "Before we start conversion of the documents in the folder that you have chosen as the "
      "target, with a title longer than any window";
  bool fits = false;
  QString windowTitle;
  whenModal<QMessageBox>([&](QMessageBox* box) {
    windowTitle = box->windowTitle();
    auto* label = box->findChild<QLabel*>("qt_msgbox_label");
    ASSERT_NE(label, nullptr);
    ASSERT_EQ(label->text().toStdString(), title);
    // Every line of the wrapped text is inside the label.
    fits = label->isVisible() && label->wordWrap() &&
           label->height() >= label->heightForWidth(label->width()) &&
           label->width() <= box->width();
    box->buttons().front()->click();
  });
  alerts.runModal(makeAlert({title, ""}, {"Close all open documents.", ""}));
  EXPECT_TRUE(fits);
  EXPECT_EQ(windowTitle, QApplication::applicationDisplayName());
}

// Answers every alert and chooser the moment it shows (OK, or the
// chooser's Cancel), recording its title, while it exists.
class AnswerOnShow : public QObject {
 public:
  AnswerOnShow() { qApp->installEventFilter(this); }
  ~AnswerOnShow() override { qApp->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show) return false;
    if (auto* box = qobject_cast<QMessageBox*>(watched)) {
      shown << box->text();
      QTimer::singleShot(0, box, [box] { box->buttons().front()->click(); });
    } else if (auto* panel = qobject_cast<QFileDialog*>(watched)) {
      shown << panel->windowTitle();
      QTimer::singleShot(0, panel, [panel] { panel->reject(); });
    }
    return false;
  }
  QStringList shown;
};

TEST(QtAlertServiceTest, AtTheEndWhatIsOpenClosesAsCancelAndNothingMoreShows) {
  std::vector<QUrl> opened;
  QtAlertService alerts([&](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  const Alert ask = makeAlert({"Before we start conversion", ""}, {"Confirm", ""});
  whenModal<QMessageBox>([&alerts](QMessageBox*) { alerts.end(); });
  EXPECT_EQ(alerts.runModal(ask), kAlertSecondButtonReturn);
  EXPECT_TRUE(alerts.ended());
  QtAlertService chooser;
  whenModal<QFileDialog>([&chooser](QFileDialog* panel) {
    panel->selectFile(QDir::homePath());
    chooser.end();
  });
  EXPECT_EQ(chooser.showOpenTargetFolderPanel(), std::nullopt);

  AnswerOnShow answer;
  EXPECT_EQ(alerts.runModal(ask), kAlertSecondButtonReturn);
  EXPECT_EQ(alerts.showOpenTargetFolderPanel(), std::nullopt);
  const testing::FixedSystemVersion version({6, 1, 0});
  EXPECT_EQ(runErrorAlert(alerts, version, {"Error", ""}, {"x", ""}, "r"),
            kAlertSecondButtonReturn);
  EXPECT_EQ(answer.shown, QStringList{});
  EXPECT_TRUE(opened.empty());
  // Another service (another application) still asks.
  QtAlertService other;
  EXPECT_EQ(other.runModal(ask), kAlertFirstButtonReturn);
  EXPECT_EQ(answer.shown, QStringList{"Before we start conversion"});
}

TEST(QtAlertServiceTest, FolderPanelIsTitledAndOpensInTheTargetOrHome) {
  testing::TempDir tmp;
  const std::filesystem::path target = tmp.mkdir("Converted");
  std::optional<std::filesystem::path> current = target;
  QtAlertService alerts;
  QString title, start;
  QList<QUrl> places;
  const auto look = [&](QFileDialog* panel) {
    title = panel->windowTitle();
    start = panel->directory().absolutePath();
    places = panel->sidebarUrls();
    panel->reject();
  };
  whenModal<QFileDialog>(look);
  alerts.showOpenTargetFolderPanel();  // no target known yet
  EXPECT_EQ(title, "Choose Target Folder");
  EXPECT_EQ(start, QDir::homePath());
  EXPECT_TRUE(places.contains(QUrl::fromLocalFile(QDir::homePath())));

  alerts.setCurrentTarget([&current] { return current; });
  whenModal<QFileDialog>(look);
  alerts.showOpenTargetFolderPanel();
  EXPECT_EQ(start.toStdString(), target.string());

  current = tmp.path() / "gone";  // set, but no longer there
  whenModal<QFileDialog>(look);
  alerts.showOpenTargetFolderPanel();
  EXPECT_EQ(start, QDir::homePath());
  current.reset();
  EXPECT_EQ(targetChooserStart(current), QDir::homePath());
}

TEST(QtAlertServiceTest, FolderPanelChoosesOneFolderOrNothing) {
  testing::TempDir tmp;
  const std::filesystem::path folder = tmp.mkdir("Converted");
  QtAlertService alerts;
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  whenModal<QFileDialog>([&](QFileDialog* panel) {
    mode = panel->fileMode();
    panel->setDirectory(QString::fromStdString(tmp.path().string()));
    panel->selectFile(QString::fromStdString(folder.string()));
    static_cast<QDialog*>(panel)->accept();
  });
  EXPECT_EQ(alerts.showOpenTargetFolderPanel(), folder);
  EXPECT_EQ(mode, QFileDialog::Directory);

  whenModal<QFileDialog>([](QFileDialog* panel) { panel->reject(); });
  EXPECT_EQ(alerts.showOpenTargetFolderPanel(), std::nullopt);
}

// The icon tells how a run ended; an alert that only tells has one OK.
TEST(QtAlertServiceTest, ResultAlertsHaveTheirIconAndOneOK) {
  QtAlertService alerts;
  struct Case {
    AlertKind kind;
    QMessageBox::Icon icon;
  };
  std::vector<QPixmap> pixmaps;
  for (const Case c : {Case{AlertKind::success, QMessageBox::Information},
                       Case{AlertKind::cancelled, QMessageBox::NoIcon},
                       Case{AlertKind::failure, QMessageBox::Critical}}) {
    QPixmap pixmap;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QStringList buttons;
    whenModal<QMessageBox>([&](QMessageBox* box) {
      pixmap = box->iconPixmap();
      icon = box->icon();
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      box->buttons().front()->click();
    });
    EXPECT_EQ(alerts.runModal(makeResultAlert(c.kind, {"Title", ""}, {"Text", ""})),
              kAlertFirstButtonReturn);
    EXPECT_EQ(icon, c.icon);
    EXPECT_EQ(buttons, QStringList{"OK"});
    EXPECT_FALSE(pixmap.isNull());
    pixmaps.push_back(pixmap);
  }
  // Three different pictures.
  EXPECT_NE(pixmaps[0].toImage(), pixmaps[1].toImage());
  EXPECT_NE(pixmaps[1].toImage(), pixmaps[2].toImage());
  EXPECT_NE(pixmaps[0].toImage(), pixmaps[2].toImage());
  // Escape closes an alert without Cancel as OK.
  whenModal<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
  EXPECT_EQ(alerts.runModal(makeResultAlert(AlertKind::success, {"T", ""}, {"M", ""})),
            kAlertFirstButtonReturn);
}

// Sixty failed documents: the list scrolls inside an alert that keeps to
// about two thirds of the screen, its buttons in reach; the details tell
// the documents and reasons in words.
TEST(QtAlertServiceTest, ALongFailureListScrollsInsideAnAlertThatFits) {
  std::string summary;
  std::string details;
  for (int i = 0; i < 60; ++i) {
    const std::string document =
        "/home/user/Documents/Quarterly reports/Region " + std::to_string(i) + "/Report.pages";
    summary += "Not converted: " + document + "\nthe document is damaged: its index is missing\n";
    details += "Document: " + document + "\nReason: the document is damaged\n\n";
  }
  summary += "No document was converted";
  Alert alert = makeResultAlert(AlertKind::failure, {"Error", ""}, {"There was an error", ""});
  alert.summary = summary;
  alert.details = details;
  QtAlertService alerts;
  QRect frame, screen;
  std::vector<QRect> buttons;
  bool scrolls = false;
  QString shownSummary, shownDetails;
  whenModal<QMessageBox>([&](QMessageBox* box) {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(box));
    frame = box->frameGeometry();
    screen = box->screen()->availableGeometry();
    for (QAbstractButton* b : box->buttons()) {
      if (b->isVisible()) buttons.push_back(QRect(b->mapToGlobal(QPoint(0, 0)), b->size()));
    }
    auto* area = box->findChild<QScrollArea*>("morvane_alert_summary_area");
    if (area != nullptr) {
      scrolls = area->verticalScrollBar()->maximum() > 0;
      shownSummary = area->findChild<QLabel*>("morvane_alert_summary")->text();
    }
    shownDetails = box->detailedText();
    box->buttons().front()->click();
  });
  alerts.runModal(alert);
  EXPECT_TRUE(scrolls);
  EXPECT_EQ(shownSummary.toStdString(), summary);
  EXPECT_EQ(shownDetails.toStdString(), details);
  EXPECT_LE(frame.height(), screen.height() * 2 / 3 + 40) << frame.height() << " of " << screen.height();
  EXPECT_FALSE(buttons.empty());
  for (const QRect& b : buttons) EXPECT_TRUE(screen.contains(b)) << b.y();

  // A short summary is shown whole, without a scroll bar.
  alert.summary = "1 document converted";
  whenModal<QMessageBox>([&](QMessageBox* box) {
    auto* area = box->findChild<QScrollArea*>("morvane_alert_summary_area");
    scrolls = area == nullptr || area->verticalScrollBar()->maximum() > 0;
    box->buttons().front()->click();
  });
  alerts.runModal(alert);
  EXPECT_FALSE(scrolls);
}

}  // namespace
}  // namespace morvane

namespace morvane {
namespace {

TEST(PackageManagerUpdatesTest, TellsTheVersionAndWhereUpdatesComeFrom) {
  PackageManagerUpdates updates("1.4.2");
  EXPECT_TRUE(updates.message().contains("Morvane 1.4.2"));
  EXPECT_TRUE(updates.message().contains("package manager"));
  testing::whenModal<QMessageBox>([](QMessageBox* box) { box->accept(); });
  updates.checkForUpdates();  // shown modally, answered above
}

}  // namespace
}  // namespace morvane
