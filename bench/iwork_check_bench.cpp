// What the checks of iWork documents cost beside the conversion itself:
// for each document of a folder, the container check (reading the index),
// LibreOffice's load, the census of what it read, and the export to the
// matching Office format, in milliseconds.
//   morvane_iwork_check_bench FOLDER WORKER [READER_DIR]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "office/iwork_package.h"
#include "office/office_worker.h"

namespace {

namespace fs = std::filesystem;
using morvane::Status;

double millisecondsOf(const std::function<Status()>& step, Status* status) {
  const auto start = std::chrono::steady_clock::now();
  *status = step();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

int fail(const std::string& path, const Status& s) {
  std::fprintf(stderr, "%s: %s\n", path.c_str(), s.message().c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: morvane_iwork_check_bench FOLDER WORKER [READER_DIR]\n");
    return 2;
  }
  const std::map<std::string, std::string> exports = {
      {".pages", "docx"}, {".numbers", "xlsx"}, {".key", "pptx"}};
  morvane::OfficeConfig config;
  config.workerPath = argv[2];
  config.installPath = "/usr/lib/libreoffice/program";
  config.readerLibraryDir = argc > 3 ? argv[3] : "";
  std::unique_ptr<morvane::OfficeWorker> worker;
  if (Status s = morvane::OfficeWorker::start(config, &worker); !s.ok()) {
    std::fprintf(stderr, "%s\n", s.message().c_str());
    return 1;
  }
  std::printf("%-32s %8s %8s %8s %8s %6s\n", "document", "check", "load", "census", "export",
              "share");
  double checks = 0, censuses = 0, rest = 0;
  for (const auto& entry : fs::directory_iterator(argv[1])) {
    const auto format = exports.find(entry.path().extension().string());
    if (format == exports.end() || !entry.is_regular_file()) continue;
    const std::string path = fs::absolute(entry.path()).string();
    morvane::IworkDocumentInfo info;
    std::vector<std::string> answer;
    morvane::DocumentCensus census;
    Status s;
    const double check = millisecondsOf([&] { return morvane::readIworkDocument(path, &info); }, &s);
    if (!s.ok()) continue;
    const double load = millisecondsOf([&] { return worker->call({"load", path}, &answer); }, &s);
    if (!s.ok()) return fail(path, s);
    const double count = millisecondsOf([&] { return worker->census(&census); }, &s);
    if (!s.ok()) return fail(path, s);
    const std::string out = worker->scratchPath("bench." + format->second);
    const double save =
        millisecondsOf([&] { return worker->call({"save", out, format->second}, &answer); }, &s);
    if (!s.ok()) return fail(path, s);
    worker->call({"close"}, &answer);
    fs::remove(out);
    checks += check;
    censuses += count;
    rest += load + save;
    std::printf("%-32s %8.1f %8.1f %8.1f %8.1f %5.0f%%\n", entry.path().filename().c_str(), check,
                load, count, save, 100 * (check + count) / (check + load + count + save));
  }
  std::printf("all: checks %.0f ms, census %.0f ms, load and export %.0f ms: the checks add %.0f%%\n",
              checks, censuses, rest, 100 * (checks + censuses) / rest);
  worker->quit();
}
