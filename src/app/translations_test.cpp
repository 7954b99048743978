// The window as a user with a German locale sees it. Run with LANG, LC_ALL
// and LANGUAGE set to German (the window_in_german test does): the system
// locale is read once per process.
#include "app/translations.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QMainWindow>
#include <QPushButton>
#include <QTranslator>

#include "app/app_delegate.h"
#include "app/error_report_dialog.h"
#include "app/qt_alert_service.h"
#include "office/failure_reasons.h"
#include "engine/conversion_controller.h"
#include "testing/engine_fixture.h"
#include "testing/qt_helpers.h"
#include "testing/ui_fakes.h"
#include "views/content_view.h"
#include "views/run_texts.h"
#include "views/side_bar_view.h"
#include <QLabel>
#include <QMessageBox>

namespace morvane {
namespace {

class WindowInGerman : public ::testing::Test {
 protected:
  // As the application starts: once, with the system locale.
  static void SetUpTestSuite() { loaded_ = new LoadedTranslations(installTranslations(*qApp)); }
  static void TearDownTestSuite() { delete loaded_; }

  void SetUp() override {
    ASSERT_EQ(QLocale().language(), QLocale::German)
        << "run with LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 (as the window_in_german test does)";
  }

  // The main window as it opens, with fakes for what cannot run here.
  AppDelegate& launch() {
    delegate_ = std::make_unique<AppDelegate>(
        AppServices{env_, version_, scripts_, alerts_, panel_,
                    [] { return std::make_unique<testing::CountingUpdates>(); }, contentViewFor});
    delegate_->setUpMainWindow();
    return *delegate_;
  }

  static LoadedTranslations* loaded_;
  testing::RecordingEnv env_;
  testing::FixedSystemVersion version_{{25, 1, 0}};
  testing::FakeScriptService scripts_;
  testing::FakeAlertService alerts_;
  testing::FakeOpenPanel panel_;
  std::unique_ptr<AppDelegate> delegate_;
};

LoadedTranslations* WindowInGerman::loaded_ = nullptr;

// The window that holds an error report no mail program took.
TEST_F(WindowInGerman, ErrorReportWindowIsGerman) {
  ErrorReportDialog dialog({"help@example.org", "Morvane Error Report", "body\n"});
  EXPECT_EQ(dialog.windowTitle(), "Fehlerbericht");
  EXPECT_EQ(dialog.copyButton()->text(), "Kopieren");
  EXPECT_EQ(dialog.saveButton()->text(), "Speichern …");
}

TEST_F(WindowInGerman, RunButtonIsGerman) {
  EXPECT_TRUE(loaded_->application.endsWith("/morvane_de.qm"))
      << loaded_->application.toStdString();
  AppDelegate& delegate = launch();
  testing::runQueued();

  QStringList buttons;
  for (const QPushButton* button : delegate.window()->findChildren<QPushButton*>()) {
    buttons << button->text();
  }
  EXPECT_TRUE(buttons.contains("Konvertieren")) << buttons.join(", ").toStdString();
  EXPECT_FALSE(buttons.contains("Run"));
}

// German texts are longer; the side bar keeps its width, so each of its
// choices must still fit in full at the window's smallest size.
TEST_F(WindowInGerman, SideBarChoicesAreNotCut) {
  AppDelegate& delegate = launch();
  delegate.window()->resize(delegate.window()->minimumSize());
  testing::runQueued();
  const QList<QCheckBox*> choices = delegate.window()->findChildren<QCheckBox*>();
  ASSERT_FALSE(choices.isEmpty());
  for (const QCheckBox* choice : choices) {
    EXPECT_LE(choice->sizeHint().width(), choice->width()) << choice->text().toStdString();
  }
}

TEST_F(WindowInGerman, QtsStandardButtonsAreGerman) {
  EXPECT_TRUE(loaded_->qt.endsWith("/qtbase_de.qm")) << "Qt's translations (qt6-translations-l10n)";
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");
}

// Each alert text the window shows by key has its own German text ("OK"
// stays "OK", so the translation file is asked, not the fallback).
TEST_F(WindowInGerman, EveryListedAlertTextHasAGermanText) {
  QTranslator german;
  ASSERT_TRUE(german.load(loaded_->application));
  for (const LocalizedText& text : alertTexts()) {
    EXPECT_FALSE(german.translate("Morvane", text.key.c_str(), text.comment.c_str()).isEmpty())
        << text.key;
  }
  EXPECT_EQ(localized({"Before we start conversion", "Alert title before conversion starts"}),
            "Bevor die Konvertierung beginnt");
}

// The alerts of real runs (with the engine's fakes) use listed texts only:
// an engine text that is not listed would stay English.
class RunAlertsInGerman : public testing::EngineFixture {
 protected:
  void expectListed() {
    const std::vector<LocalizedText>& listed = alertTexts();
    auto isListed = [&](const LocalizedText& text) {
      return std::find(listed.begin(), listed.end(), text) != listed.end();
    };
    ASSERT_FALSE(alerts_.shown.empty());
    for (const Alert& alert : alerts_.shown) {
      EXPECT_TRUE(isListed(alert.title)) << alert.title.key;
      EXPECT_TRUE(isListed(alert.message)) << alert.message.key;
      for (const LocalizedText& button : alert.buttons) EXPECT_TRUE(isListed(button)) << button.key;
    }
  }
  RunOutcome run() {
    return ConversionController(options_, runner(), services()).runBatchConversion();
  }
};

TEST_F(RunAlertsInGerman, NoTargetSuccessAndFailure) {
  alerts_.responses = {kAlertSecondButtonReturn};
  EXPECT_EQ(run(), RunOutcome::endedAtQuestion);
  options_.setTargetFolder(tmp_.path() / "Out");
  runner_.reset();
  EXPECT_EQ(run(), RunOutcome::succeeded);
  scripts_.executeError = ScriptError{{{"message", "broken"}}};
  runner_.reset();
  EXPECT_EQ(run(), RunOutcome::failed);
  EXPECT_EQ(alerts_.titles(), (std::vector<std::string>{"No target folder",
                                                        "Before we start conversion", "Success",
                                                        "Before we start conversion", "Error"}));
  expectListed();
}

// The alerts of runs in German, as the window shows them: the counts with
// their plural forms, each failed document with its reason translated by
// kind (one not known stays as it came), and the About window's label.
class RunResultsInGerman : public WindowInGerman {
 protected:
  // The text below the alert of the next run, read while it is shown.
  QString runAndRead() {
    QString summary;
    QString details;
    testing::whenModal<QMessageBox>([&](QMessageBox* box) {
      if (auto* label = box->findChild<QLabel*>("morvane_alert_summary")) summary = label->text();
      details = box->detailedText();
      box->reject();
    });
    qtAlerts_.runModal(alert_);
    details_ = details;
    return summary;
  }
  QtAlertService qtAlerts_;
  Alert alert_ = makeResultAlert(AlertKind::success, {"Success", "c"}, {"Did complete.", "c"});
  QString details_;
};

TEST_F(RunResultsInGerman, CountsHavePluralForms) {
  alert_.report = RunReport{.converted = 1};
  EXPECT_EQ(runAndRead(), "1 Dokument konvertiert");
  alert_.report = RunReport{.converted = 42, .copied = 3};
  EXPECT_EQ(runAndRead(), "42 Dokumente konvertiert, 3 Dateien kopiert");
  alert_.report = RunReport{.copied = 1};
  EXPECT_EQ(runAndRead(), "Kein Dokument wurde konvertiert, 1 Datei kopiert");
  RunReport mixed{.converted = 1};
  mixed.withoutExport = {{"/in/a.docx", {"docx", {"office"}, {"iwork", "pdf"}}}};
  mixed.skippedExports = {{"/in/b.docx", "/in/b.pages"}};
  alert_.report = mixed;
  EXPECT_EQ(runAndRead(),
            "1 Dokument konvertiert, 1 Export übersprungen (Ziel unter den Dokumenten dieser "
            "Konvertierung)\nNicht geschrieben: /in/b.pages\n"
            "Nicht konvertiert: /in/a.docx — docx-Dateien haben keinen Office-Export");
  EXPECT_EQ(RunTexts::lastRun(mixed), "1 konvertiert, 0 kopiert, 0 fehlgeschlagen, 1 ohne Export");
  EXPECT_EQ(RunTexts::nothingToConvert(mixed.withoutExport),
            "docx-Dateien haben keinen Office-Export: wählen Sie PDF oder iWork (a.docx)");
}

TEST_F(RunResultsInGerman, KnownReasonsAreTranslatedOthersStayAsTheyCame) {
  RunReport failed;
  failed.failed = {
      {"/in/a.docx", FailureReason::worded(FailureKind::diskFull, "the disk of %1 is full",
                                           {"/out"}, "No space left on device")},
      {"/in/b.docx", FailureReason::worded(FailureKind::tooMuchMemory,
                                           "it needs more memory than the %1 MB allowed per "
                                           "document",
                                           {"2048"})},
      {"/in/c.xlsx", FailureReason::worded(FailureKind::wrongKind,
                                           "this %1 file is a spreadsheet, not a text document",
                                           {".xlsx"})},
      {"/in/d.docx", {FailureKind::unexplained, "something nobody knew"}}};
  failed.converted = 2;
  alert_.report = failed;
  alert_.kind = AlertKind::failure;
  EXPECT_EQ(runAndRead(),
            "Nicht konvertiert: /in/a.docx\nder Datenträger von /out ist voll\n"
            "Nicht konvertiert: /in/b.docx\nes braucht mehr Speicher als die je Dokument "
            "erlaubten 2048 MB\n"
            "Nicht konvertiert: /in/c.xlsx\ndiese .xlsx-Datei ist eine Tabelle, kein Textdokument\n"
            "Nicht konvertiert: /in/d.docx\nsomething nobody knew\n"
            "2 Dokumente konvertiert");
  EXPECT_TRUE(details_.startsWith("Dokument: /in/a.docx\nGrund: der Datenträger von /out ist "
                                  "voll\nEinzelheiten: No space left on device\n"))
      << details_.toStdString();
  // Every wording the window knows has its German text.
  QTranslator german;
  ASSERT_TRUE(german.load(loaded_->application));
  for (const char* pattern : RunTexts::knownReasons()) {
    EXPECT_FALSE(german.translate("morvane::RunTexts", pattern).isEmpty()) << pattern;
  }
  EXPECT_EQ(BackendDescription::backendLine("iWork reader: libetonyek 0.1.12 (the system's)"),
            "iWork-Leser: libetonyek 0.1.12 (vom System)");
}

// Every fixed wording the office service gives a reason reaches the window
// as a wording it knows, so none is left in English in another language.
TEST(TranslationsTest, EveryWordedReasonOfTheServiceIsKnownToTheWindow) {
  std::vector<FailureReason> reasons = {
      emptyFile(),
      checkEnded("Pages", CheckEnding::crashed, "", "killed by signal 11"),
      checkEnded("Pages", CheckEnding::timedOut, "120 s", ""),
      checkEnded("Pages", CheckEnding::tooLarge, "2048", ""),
      unreadableDocument("Numbers", "the file is empty (0 bytes)"),
      unreadableDocument("Numbers", "it holds no document (no index)"),
      unreadableDocument("Numbers", "the package folder holds no document (no index)"),
      unreadableDocument("Numbers", "it declares file format version 99.0, which no reader supports"),
      unreadableDocument("Numbers", "a chunk is cut short"),
      targetFolderGone("/out/a.pdf", false),
      targetFolderGone("/out/a.pdf", true),
      workerTooLarge(std::uint64_t{2048} << 20),
      workerTooSlow(std::chrono::seconds(120)),
  };
  const std::vector<std::string> kinds = {"text", "spreadsheet", "presentation", "drawing", "other"};
  for (const std::string& found : kinds) {
    for (const char* wanted : {"text", "spreadsheet", "presentation"}) {
      if (found == wanted) continue;
      reasons.push_back(wrongKindOfFile("/in/report.docx", found, "Pages", wanted));
      reasons.push_back(wrongKindOfFile("/in/report", found, "Pages", wanted));
    }
  }
  const auto& known = RunTexts::knownReasons();
  for (const FailureReason& r : reasons) {
    ASSERT_FALSE(r.pattern.empty()) << r.sentence;
    EXPECT_TRUE(std::ranges::any_of(known, [&](const char* p) { return r.pattern == p; }))
        << "not known to the window: " << r.pattern;
  }
}

}  // namespace
}  // namespace morvane
