// The Help menu's About window: the application's name and version, what
// the conversions run with (the LibreOffice and iWork reader versions), the
// licence and the support address. Finding the versions starts a worker
// (about a second), so BackendDescription asks once, on a thread of its
// own, and keeps the answer; the dialog shows "…" until it comes.
#pragma once

#include <QDialog>
#include <QObject>
#include <QStringList>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/status.h"

class QLabel;

namespace morvane {

class BackendDescription : public QObject {
  Q_OBJECT
 public:
  // describeScriptBackend's contract: fills in the lines or fails.
  using Describe = std::function<Status(std::vector<std::string>*)>;
  explicit BackendDescription(Describe describe, QObject* parent = nullptr);
  // Waits for a lookup that is under way.
  ~BackendDescription() override;

  // Starts the lookup unless it has started; `described` follows on the
  // main thread once it is done.
  void request();
  bool known() const { return known_; }
  // The lines, or the one line that says why there are none.
  const QStringList& lines() const { return lines_; }
  // One line of the description in the user's words ("iWork reader: …").
  static QString backendLine(const std::string& line);

 signals:
  void described(const QStringList& lines);

 private:
  Describe describe_;
  std::thread lookup_;
  bool known_ = false;
  QStringList lines_;
};

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  // Asks `backend` for its lines when made.
  explicit AboutDialog(BackendDescription& backend, QWidget* parent = nullptr);

  QLabel* nameLabel() const { return name_; }
  QLabel* versionLabel() const { return version_; }
  QLabel* backendLabel() const { return backend_; }
  QLabel* licenceLabel() const { return licence_; }
  QLabel* supportLabel() const { return support_; }

 private:
  void showBackend(const QStringList& lines);

  QLabel* name_;
  QLabel* version_;
  QLabel* backend_;
  QLabel* licence_;
  QLabel* support_;
};

}  // namespace morvane
