// Fakes for the desktop application's own services in widget tests: an
// open panel that answers as the test says, an update checker that counts,
// and the services of an AppDelegate built from the engine fakes.
#pragma once

#include <QWidget>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/app_delegate.h"

namespace morvane::testing {

class FakeOpenPanel : public OpenPanel {
 public:
  std::vector<std::filesystem::path> run() override {
    ++runs;
    return answer;
  }
  std::vector<std::filesystem::path> answer;  // what each run chooses
  int runs = 0;
};

class CountingUpdates : public UpdateChecker {
 public:
  explicit CountingUpdates(int* checks = nullptr) : checks_(checks) {}
  void checkForUpdates() override {
    if (checks_ != nullptr) ++*checks_;
  }

 private:
  int* checks_;
};

// A stand-in for the content view: an empty 800 x 600 widget.
inline QWidget* plainContent(AppDelegate&) {
  auto* content = new QWidget;
  content->setFixedSize(800, 600);
  return content;
}

}  // namespace morvane::testing
