#include "office/office_worker.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "office/wire_format.h"

namespace morvane {

namespace {

std::string formatLimit(std::chrono::milliseconds limit) {
  if (limit.count() % 1000 == 0) return std::to_string(limit.count() / 1000) + " s";
  return std::to_string(limit.count()) + " ms";
}

}  // namespace

Status OfficeWorker::start(const OfficeConfig& config, std::unique_ptr<OfficeWorker>* out) {
  std::string dir = (std::filesystem::temp_directory_path() / "morvane-office-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return Status::error("cannot create a temporary folder");
  std::unique_ptr<OfficeWorker> worker(new OfficeWorker(config, dir));
  const std::vector<std::string> argv = {config.workerPath, config.installPath,
                                         fileUrlFromPath(dir + "/profile")};
  if (Status s = Subprocess::start(argv, dir + "/worker.log", &worker->process_); !s.ok()) {
    return s;
  }
  std::vector<std::string> ready;
  if (Status s = worker->awaitAnswer(&ready); !s.ok()) return s;
  *out = std::move(worker);
  return {};
}

OfficeWorker::~OfficeWorker() {
  process_.reset();  // kills the group when it is still running
  std::error_code ec;
  std::filesystem::remove_all(workDir_, ec);
}

Status OfficeWorker::call(const std::vector<std::string>& request,
                          std::vector<std::string>* answer) {
  if (!process_) return Status::error("the LibreOffice worker is not running");
  if (Status s = process_->write(encodeWireLine(request) + "\n"); !s.ok()) {
    return failure("the LibreOffice worker stopped unexpectedly", true);
  }
  return awaitAnswer(answer);
}

Status OfficeWorker::awaitAnswer(std::vector<std::string>* answer) {
  std::string line;
  switch (process_->readLine(config_.statementLimit, &line)) {
    case Subprocess::ReadResult::timedOut:
      return failure("LibreOffice gave no answer within " + formatLimit(config_.statementLimit) +
                     "; the worker was ended",
                     false);
    case Subprocess::ReadResult::closed:
      return failure("the LibreOffice worker stopped unexpectedly", true);
    case Subprocess::ReadResult::line:
      break;
  }
  std::vector<std::string> fields = decodeWireLine(line);
  if (fields[0] == "ok" || fields[0] == "ready") {
    answer->assign(fields.begin() + 1, fields.end());
    return {};
  }
  if (fields[0] == "error" && fields.size() > 1) return Status::error(fields[1]);
  return failure("the LibreOffice worker answered \"" + line + "\"", false);
}

Status OfficeWorker::quit() {
  std::vector<std::string> answer;
  Status s = call({"quit"}, &answer);
  if (!s.ok()) return s;
  process_->finish(config_.statementLimit);
  process_.reset();
  return {};
}

Status OfficeWorker::failure(const std::string& what, bool describeExit) {
  process_->closeInput();
  const int status = process_->finish(std::chrono::milliseconds(200));
  process_.reset();
  std::string message = what;
  if (describeExit) message += " (" + Subprocess::describeStatus(status) + ")";
  if (const std::string last = lastOutputLine(); !last.empty()) {
    message += "; its last message: " + last;
  }
  return Status::error(message);
}

std::string OfficeWorker::lastOutputLine() const {
  std::ifstream log(workDir_ + "/worker.log");
  std::string line, last;
  while (std::getline(log, line)) {
    if (!line.empty()) last = line;
  }
  return last.substr(0, 300);
}

}  // namespace morvane
