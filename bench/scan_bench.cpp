// Scans, plans and composes a run for a generated tree of 100,000 files in
// 1,000 folders, and times `find DIR -type f | sort` on the same tree.
// Usage: morvane_scan_bench [WORK_DIR]   (default: a fresh temporary folder)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "engine/script_runner.h"
#include "platform/env.h"
#include "options/morvane_options.h"
#include "platform/real_env.h"

namespace fs = std::filesystem;
using namespace morvane;

namespace {

// The machine's file system; the diagnostic lines are counted, not printed.
class QuietEnv : public RealEnv {
 public:
  void log(std::string_view) override { ++lines; }
  std::size_t lines = 0;
};

class NoScripts : public ScriptService {
 public:
  std::unique_ptr<Script> create(const std::string&, ScriptError*) override { return nullptr; }
};

class NoAlerts : public AlertService {
 public:
  int runModal(const Alert&) override { return kAlertFirstButtonReturn; }
  std::optional<fs::path> showOpenTargetFolderPanel() override { return std::nullopt; }
  void composeMail(const ErrorReportMail&) override {}
};

void generate(const fs::path& root) {
  const char* exts[] = {"docx", "xlsx", "pptx", "pages", "txt"};
  for (int d = 0; d < 10; ++d) {
    for (int e = 0; e < 100; ++e) {
      const fs::path dir = root / ("dir" + std::to_string(d)) / ("sub" + std::to_string(e));
      fs::create_directories(dir);
      for (int f = 0; f < 100; ++f) {
        std::ofstream(dir / ("file" + std::to_string(f) + "." + exts[f % 5])) << "x";
      }
    }
  }
}

template <typename F>
double bestSeconds(int rounds, F&& work) {
  double best = 1e9;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "morvane-bench";
  const fs::path tree = work / "tree";
  if (!fs::exists(tree / "dir9/sub99/file99.txt")) generate(tree);

  const std::string find = "find '" + tree.string() + "' -type f | sort > /dev/null";
  const double findSeconds = bestSeconds(3, [&] {
    if (std::system(find.c_str()) != 0) std::perror("find");
  });

  QuietEnv env;
  struct NoVersion : SystemVersion {
    OperatingSystemVersion current() const override { return {}; }
  } version;
  NoScripts scripts;
  NoAlerts alerts;
  MorvaneOptions options(version, env);
  const double scanSeconds = bestSeconds(3, [&] {
    options.setFileList({});
    options.addFile(tree);
  });

  options.setTargetFolder(work / "out");
  options.setRebuildStruct(true);
  options.setPdfExport(true);
  ScriptRunner runner(options, {env, scripts, alerts, version});
  std::size_t planned = 0;
  std::function<void(const NQFileDataObject&)> plan = [&](const NQFileDataObject& e) {
    if (e.dirContents) {
      for (const auto& c : *e.dirContents) plan(c);
    } else {
      runner.planConversion(e);
      ++planned;
    }
  };
  const double planSeconds = bestSeconds(1, [&] { plan(options.fileList()[0]); });
  std::string script;
  const char* rounds = std::getenv("MORVANE_BENCH_ROUNDS");  // more rounds for profiling
  const double composeSeconds =
      bestSeconds(rounds ? std::atoi(rounds) : 3, [&] { script = runner.composeScript(); });

  std::printf("tree: 100000 files in 1000 folders at %s\n", tree.c_str());
  std::printf("find | sort        %8.3f s\n", findSeconds);
  std::printf("scan (addFile)     %8.3f s  (%.2f x find | sort; target <= 3)\n", scanSeconds,
              scanSeconds / findSeconds);
  std::printf("plan %zu entries %8.3f s  (creates the target folders)\n", planned, planSeconds);
  std::printf("compose script     %8.3f s  (%.3f x scan; target < 0.1), %zu bytes\n",
              composeSeconds, composeSeconds / scanSeconds, script.size());
  return scanSeconds <= 3 * findSeconds && composeSeconds < 0.1 * scanSeconds ? 0 : 1;
}
