// SingleInstance: one Morvane window per user and display. The first
// process listens on a local socket in a folder only its user can enter;
// a later `morvane FILE…` hands its files over that socket (OpenRequest)
// and ends, and the running one adds them. No session bus is needed.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <optional>

#include "app/open_request.h"

class QLocalServer;
class QLocalSocket;

namespace morvane {

// Where a user's session keeps the socket, from the environment.
struct SessionPlace {
  QString runtimeDir;      // $XDG_RUNTIME_DIR; empty: none
  QString waylandDisplay;  // $WAYLAND_DISPLAY
  QString x11Display;      // $DISPLAY
  unsigned uid = 0;
  QString tempDir;  // where a private folder is made without a runtime folder

  static SessionPlace current();
};

// "$XDG_RUNTIME_DIR/morvane.<display>.socket", or without a usable runtime
// folder (unset, relative, or too long for a socket address)
// "<temp>/morvane-<uid>/<display>.socket". <display> separates sessions on
// one machine: "wayland-0", "x_0" for DISPLAY ":0" or ":0.0", "none".
QString socketPathFor(const SessionPlace& place);

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  enum class Role {
    primary,     // listening: later starts come to openRequested
    handedOver,  // the running instance took the request: end with 0
    alone,       // neither: run on its own; `problem` says why
  };
  struct Result {
    Role role;
    QString problem;
  };
  struct Timeouts {
    std::chrono::milliseconds connect{2000};
    std::chrono::milliseconds reply{10000};   // the sender waits this long
    std::chrono::milliseconds lock{5000};     // for a start going on at once
    std::chrono::milliseconds request{5000};  // a connection may take this long
  };

  explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
  SingleInstance(QString socketPath, Timeouts timeouts, QObject* parent = nullptr);
  // Stops listening and removes the socket.
  ~SingleInstance() override;

  // Hands `request` to the instance that runs, or becomes it. Starts at the
  // same moment are put in line by a lock file beside the socket, so
  // exactly one listens; a socket left by a crashed instance is replaced.
  // While it waits for the answer the event loop turns.
  Result start(const OpenRequest& request);

  const QString& socketPath() const { return socketPath_; }
  bool listening() const;

 signals:
  // A later start asked to open `request` (on the primary, on a turn of
  // the event loop after it has been answered).
  void openRequested(const OpenRequest& request);

 private:
  QString preparePrivateFolder() const;
  // Sends `frame`; none when the connection ended without an answer.
  std::optional<Result> handOver(QLocalSocket& socket, const QByteArray& frame);
  Result listen();
  void acceptConnections();
  void serve(QLocalSocket* socket);

  QString socketPath_;
  Timeouts timeouts_;
  QLocalServer* server_ = nullptr;  // owned as a child
  int connections_ = 0;
};

}  // namespace morvane
