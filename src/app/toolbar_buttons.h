// ToolbarButtons: the "+" and "-" buttons at the leading edge of the
// window's top bar on systems older than 26.0.0. "+" adds files through
// the open panel, "-" removes the selected entries, both at once; "-" is
// enabled only while entries are selected.
#pragma once

#include <QWidget>

class QPushButton;

namespace morvane {

class AppDelegate;

class ToolbarButtons : public QWidget {
  Q_OBJECT
 public:
  ToolbarButtons(AppDelegate& delegate, QWidget* parent = nullptr);

  QPushButton* plusButton() const { return plus_; }
  QPushButton* minusButton() const { return minus_; }

 private:
  void updateMinus();

  AppDelegate& delegate_;
  QPushButton* plus_;
  QPushButton* minus_;
};

}  // namespace morvane
