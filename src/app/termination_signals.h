// TerminationSignals: SIGTERM, SIGINT and SIGHUP as a Qt signal on the
// main thread, so that the application ends through its event loop and
// cleans up (its socket, a running conversion) instead of dying where it
// stands. After the first, the next such signal ends the process the
// default way. At most one exists per process.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace morvane {

class TerminationSignals : public QObject {
  Q_OBJECT
 public:
  // Installs the handlers; needs the application object.
  explicit TerminationSignals(QObject* parent = nullptr);
  // Puts the default handling back.
  ~TerminationSignals() override;
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 signals:
  void received(int signal);

 private:
  void readSignal();

  int pipe_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace morvane
