// The file list with 100,000 entries: how long the list takes to follow a
// change of the options and to draw itself, offscreen. Once as one folder
// entry (a dropped folder), once as 100,000 top-level entries (a folder
// opened from the file manager, flattened).
// Usage: morvane_list_bench TREE_DIR   (a folder with about 100,000 files)
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTreeView>
#include <cstdio>
#include <functional>

#include "platform/env.h"
#include "filelist/regular_files.h"
#include "platform/real_env.h"
#include "views/file_list_view.h"
#include "views/options_signals.h"

namespace {

using morvane::MorvaneOptions;
using morvane::NQFileDataObject;

class QuietEnv : public morvane::RealEnv {
 public:
  void log(std::string_view) override {}
};

class NoVersion : public morvane::SystemVersion {
 public:
  morvane::OperatingSystemVersion current() const override { return {}; }
};

double seconds(const std::function<void()>& work) {
  QElapsedTimer clock;
  clock.start();
  work();
  return clock.nsecsElapsed() / 1e9;
}

// Lets the views follow what has changed, then draws the list.
void followAndDraw(morvane::FileListView& view) {
  QCoreApplication::processEvents();
  view.grab();
}

// The first file of each of the 1,000 folders of the tree.
std::unordered_set<morvane::Uuid> firstFiles(const MorvaneOptions& options) {
  std::unordered_set<morvane::Uuid> ids;
  for (const NQFileDataObject& dir : *options.fileList()[0].dirContents) {
    for (const NQFileDataObject& sub : *dir.dirContents) {
      if (!sub.dirContents->empty()) ids.insert(sub.dirContents->front().id);
    }
  }
  return ids;
}

// What removing costs the options alone, without a view that follows.
double removalWithoutView(const char* tree, morvane::Env& env, const morvane::SystemVersion& version) {
  MorvaneOptions options(version, env);
  options.addFile(tree);
  return seconds([&] {
    options.setSelection(firstFiles(options));
    options.removeSelectedEntries();
  });
}

// A list holding the whole tree as one folder entry, expanded two levels.
void benchFolderEntry(const char* tree, morvane::Env& env, const morvane::SystemVersion& version) {
  MorvaneOptions options(version, env);
  morvane::OptionsSignals changes(options);
  morvane::FileListView view(changes, env);
  view.resize(500, 600);
  view.show();

  const double scan = seconds([&] { options.addFile(tree); });
  const double follow = seconds([] { QCoreApplication::processEvents(); });
  view.tree()->expandToDepth(1);
  const double draw = seconds([&] { view.grab(); });
  const double scroll = seconds([&] {
    for (int i = 0; i < 20; ++i) {
      view.tree()->verticalScrollBar()->setValue(i * 500);
      view.grab();
    }
  }) / 20;
  const double format = seconds([&] {
    options.setIworkExport(!options.iworkExport());
    followAndDraw(view);
  });
  const std::unordered_set<morvane::Uuid> nested = firstFiles(options);
  const double remove = seconds([&] {
    options.setSelection(nested);
    options.removeSelectedEntries();
    followAndDraw(view);
  });
  const double append = seconds([&] {
    options.addFile(tree + std::string("/dir0/sub0/file1.xlsx"));
    followAndDraw(view);
  });

  std::printf("-- one folder entry\n");
  std::printf("scan into the list       %8.3f s\n", scan);
  std::printf("model follows change     %8.3f s\n", follow);
  std::printf("first draw (expanded)    %8.3f s\n", draw);
  std::printf("draw after a scroll      %8.4f s\n", scroll);
  std::printf("export format toggled    %8.4f s\n", format);
  std::printf("remove %4zu nested        %8.3f s\n", nested.size(), remove);
  std::printf("  the options alone       %8.3f s\n", removalWithoutView(tree, env, version));
  std::printf("append one (expanded)    %8.4f s\n", append);
}

// The tree opened from the file manager: one top-level entry per file.
void benchFlattened(const char* tree, morvane::Env& env, const morvane::SystemVersion& version) {
  MorvaneOptions options(version, env);
  morvane::OptionsSignals changes(options);
  morvane::FileListView view(changes, env);
  view.resize(500, 600);
  view.show();

  std::size_t files = 0;
  const double open = seconds([&] {
    for (const auto& file : morvane::regularFilesIn(tree, env)) {
      options.addFile(file);
      ++files;
    }
    followAndDraw(view);
  });
  std::unordered_set<morvane::Uuid> every100th;
  for (std::size_t i = 0; i < options.fileList().size(); i += 100) {
    every100th.insert(options.fileList()[i].id);
  }
  const double remove = seconds([&] {
    options.setSelection(every100th);
    options.removeSelectedEntries();
    followAndDraw(view);
  });
  const double append = seconds([&] {
    options.addFile(tree + std::string("/dir0/sub0/file1.xlsx"));
    followAndDraw(view);
  });
  std::printf("-- %zu top-level entries (a folder opened from the file manager)\n", files);
  std::printf("open, follow and draw    %8.3f s\n", open);
  std::printf("remove %4zu top-level     %8.3f s\n", every100th.size(), remove);
  std::printf("append one               %8.4f s\n", append);
}

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
  std::printf("list of %s\n", argv[1]);
  benchFolderEntry(argv[1], env, version);
  benchFlattened(argv[1], env, version);
  return 0;
}
