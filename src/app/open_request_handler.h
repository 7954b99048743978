// OpenRequestHandler: serves the files a start of `morvane FILE…` names,
// its own or those a later start hands over: adds them the way the
// desktop's open requests do (a folder brings the files below it), tells
// about the missing ones in a warning that does not block the window, and
// brings the window to the front.
#pragma once

#include <QObject>
#include <QStringList>

#include "app/open_request.h"

class QWidget;

namespace morvane {

class AppDelegate;

class OpenRequestHandler : public QObject {
  Q_OBJECT
 public:
  // `delegate` outlives the handler.
  explicit OpenRequestHandler(AppDelegate& delegate, QObject* parent = nullptr);

 public slots:
  void serve(const OpenRequest& request);

 private:
  void warnAboutMissing(const QStringList& missing);

  AppDelegate& delegate_;
};

// Shows `window` in front and active, also when it was hidden or minimised.
void bringToFront(QWidget* window);

}  // namespace morvane
