// ContentView: the root view of the main window, 800 x 600: the file list
// on the left, the side bar with the export and target options and the Run
// button on the right.
#pragma once

#include <QWidget>

namespace morvane {

class AppDelegate;

class ContentView : public QWidget {
  Q_OBJECT
 public:
  explicit ContentView(AppDelegate& delegate, QWidget* parent = nullptr);
};

}  // namespace morvane
