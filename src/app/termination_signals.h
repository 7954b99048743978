// TerminationSignals: SIGTERM, SIGINT and SIGHUP as a Qt signal on the
// main thread, so that the application ends through its event loop and
// cleans up (its socket, a running conversion) instead of dying where it
// stands. A signal the process was started ignoring stays ignored (`nohup
// morvane &` outlives its terminal). After the first, the next such signal
// is handled as before (by default, it ends the process). At most one
// exists per process.
#pragma once

#include <QObject>
#include <csignal>

class QSocketNotifier;

namespace morvane {

class TerminationSignals : public QObject {
  Q_OBJECT
 public:
  // Installs the handlers; needs the application object.
  explicit TerminationSignals(QObject* parent = nullptr);
  // Puts the handling back as it was.
  ~TerminationSignals() override;
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 signals:
  void received(int signal);

 private:
  void readSignal();
  void restore();

  int pipe_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
  // How SIGTERM, SIGINT and SIGHUP were handled before, in that order.
  struct sigaction before_[3] = {};
};

}  // namespace morvane
