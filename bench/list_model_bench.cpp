// The file list with 100,000 entries: how long the list takes to follow a
// change of the options and to draw itself, offscreen.
// Usage: morvane_list_bench TREE_DIR   (a folder with about 100,000 files)
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTreeView>
#include <cstdio>

#include "views/options_signals.h"
#include "filelist/env.h"
#include "views/file_list_view.h"

namespace {

class QuietEnv : public morvane::RealEnv {
 public:
  void log(std::string_view) override {}
};

class NoVersion : public morvane::SystemVersion {
 public:
  morvane::OperatingSystemVersion current() const override { return {}; }
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: morvane_list_bench TREE_DIR\n");
    return 2;
  }
  QuietEnv env;
  NoVersion version;
  morvane::MorvaneOptions options(version, env);
  morvane::OptionsSignals changes(options);
  morvane::FileListView view(changes, env);
  view.resize(500, 600);
  view.show();

  QElapsedTimer clock;
  clock.start();
  options.addFile(argv[1]);
  const double scan = clock.nsecsElapsed() / 1e9;
  clock.restart();
  QCoreApplication::processEvents();  // the model follows the change
  const double follow = clock.nsecsElapsed() / 1e9;
  view.tree()->expandToDepth(1);
  clock.restart();
  view.grab();
  const double draw = clock.nsecsElapsed() / 1e9;
  clock.restart();
  for (int i = 0; i < 20; ++i) {
    view.tree()->verticalScrollBar()->setValue(i * 500);
    view.grab();
  }
  const double scroll = clock.nsecsElapsed() / 1e9 / 20;
  std::printf("list of %s\n", argv[1]);
  std::printf("scan into the list    %8.3f s\n", scan);
  std::printf("model follows change  %8.3f s\n", follow);
  std::printf("first draw (expanded) %8.3f s\n", draw);
  std::printf("draw after a scroll   %8.4f s\n", scroll);
  return 0;
}
