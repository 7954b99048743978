#include "views/options_signals.h"

#include <QMetaObject>

namespace morvane {

OptionsSignals::OptionsSignals(MorvaneOptions& options, QObject* parent)
    : QObject(parent), options_(options) {
  token_ = options_.publisher().subscribe([this](OptionsField field) {
    const bool first = pending_.isEmpty();
    pending_.insert(static_cast<int>(field));
    if (first) QMetaObject::invokeMethod(this, &OptionsSignals::deliver, Qt::QueuedConnection);
  });
}

OptionsSignals::~OptionsSignals() { options_.publisher().unsubscribe(token_); }

void OptionsSignals::deliver() {
  const QSet<int> fields = std::exchange(pending_, {});
  for (int field : fields) emit changed(static_cast<OptionsField>(field));
}

}  // namespace morvane
