#include "app/app_delegate.h"

#include <QApplication>
#include <QMainWindow>

#include "app/qt_alert_service.h"
#include "app/termination_signals.h"
#include "views/content_view.h"
#include "views/run_texts.h"
#include "engine/conversion_controller.h"
#include "engine/script_runner.h"
#include "office/default_script_service.h"

namespace morvane {

AppDelegate::AppDelegate(AppServices services, QObject* parent)
    : QObject(parent),
      services_(std::move(services)),
      options_(std::make_unique<MorvaneOptions>(services_.version, services_.env)),
      signals_(std::make_unique<OptionsSignals>(*options_)),
      updateChecker_(services_.makeUpdateChecker()),
      backend_(std::make_unique<BackendDescription>(
          services_.describeBackend ? services_.describeBackend : describeScriptBackend)),
      intake_(std::make_unique<FileIntake>(*options_, services_.env, services_.openPanel)),
      mainWindow_(*this),
      presenter_(*this, services_.desktop) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::setUpMainWindow() {
  mainWindow_.setUp();
  presenter_.follow(mainWindow_.window(), mainWindow_.contentView());
}

std::optional<std::filesystem::path> AppDelegate::showOpenTargetFolderPanel() {
  return services_.alerts.showOpenTargetFolderPanel();
}

void AppDelegate::openDocument() {
  if (runMonitor_.running()) return;
  intake_->addFilesNow();
}

namespace {

// The entry that takes the selection once the selected ones are gone: in
// the list holding the first selected entry (depth first), the next
// unselected sibling after it, else the nearest one before it, else the
// folder holding it (when that stays).
std::optional<Uuid> entryAfterRemoval(const std::vector<NQFileDataObject>& list,
                                      const std::unordered_set<Uuid>& selected,
                                      const NQFileDataObject* holder = nullptr) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (selected.contains(list[i].id)) {
      for (std::size_t j = i + 1; j < list.size(); ++j) {
        if (!selected.contains(list[j].id)) return list[j].id;
      }
      if (i > 0) return list[i - 1].id;
      if (holder != nullptr) return holder->id;
      return std::nullopt;
    }
    if (list[i].dirContents) {
      if (auto found = entryAfterRemoval(*list[i].dirContents, selected, &list[i])) return found;
    }
  }
  return std::nullopt;
}

}  // namespace

void AppDelegate::removeSelectedFiles() {
  const std::optional<Uuid> next = entryAfterRemoval(options_->fileList(), options_->selection());
  options_->removeSelectedEntries();
  if (next) options_->setSelection({*next});
}

void AppDelegate::runConversion() {
  if (runMonitor_.running() || terminating_) return;  // one run at a time
  const EngineServices engine{services_.env,     services_.scripts,
                              services_.alerts,  services_.version,
                              &runMonitor_.cancellation(), &runMonitor_};
  ScriptRunner runner(*options_, engine);
  const RunOutcome outcome = ConversionController(*options_, runner, engine).runBatchConversion();
  // A list that would make nothing does not start (the side bar says why).
  if (outcome != RunOutcome::endedAtQuestion && outcome != RunOutcome::nothingToConvert) {
    const QString folder = options_->targetFolder()
                               ? QString::fromStdString(options_->targetFolder()->string())
                               : QString();
    emit lastRunChanged(RunTexts::lastRun(runner.report()), folder);
  }
  mainWindow_.closeIfAskedDuringRun();
}

void AppDelegate::checkForUpdates() { updateChecker_->checkForUpdates(); }

void AppDelegate::terminate() {
  terminating_ = true;
  runMonitor_.cancel();
  // Every event loop ends, the run's and the dialogs' too: the run then
  // unwinds (waiting for its cancelled script) and exec() returns.
  QCoreApplication::exit(0);
}

void endOnTermination(TerminationSignals& termination, AppDelegate& delegate,
                      QtAlertService& alerts) {
  QObject::connect(&termination, &TerminationSignals::received, &delegate, [&delegate, &alerts] {
    alerts.end();
    delegate.terminate();
  });
}

QWidget* contentViewFor(AppDelegate& delegate) {
  return new ContentView(delegate.optionsSignals(), delegate.env(), delegate);
}
}  // namespace morvane
