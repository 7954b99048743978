// OptionsSignals: turns the announcements of MorvaneOptions into a Qt
// signal. Options announce a change before storing it; the signal is sent
// on the next turn of the event loop, when the new value is in place, and
// several announcements of one turn come as one signal per field.
#pragma once

#include <QObject>
#include <QSet>

#include "options/morvane_options.h"

namespace morvane {

class OptionsSignals : public QObject {
  Q_OBJECT
 public:
  OptionsSignals(MorvaneOptions& options, QObject* parent = nullptr);
  ~OptionsSignals() override;

  MorvaneOptions& options() { return options_; }

 signals:
  // The field has its new value.
  void changed(morvane::OptionsField field);

 private:
  void deliver();

  MorvaneOptions& options_;
  ChangePublisher::Token token_;
  QSet<int> pending_;
};

}  // namespace morvane
