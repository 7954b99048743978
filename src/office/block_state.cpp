#include "office/block_state.h"

#include <cstdlib>
#include <filesystem>
#include <map>

#include "office/failure_reasons.h"
#include "office/save_leftovers.h"

namespace morvane {

namespace fs = std::filesystem;

namespace {

const std::map<std::string, std::string>& iworkApplications() {
  static const std::map<std::string, std::string> kNames = {
      {"pages", "Pages"}, {"numbers", "Numbers"}, {"key", "Keynote"}};
  return kNames;
}

// The document a statement before its open belongs to (an activate, or
// the worker's start on its behalf): the next one the block opens.
std::string upcomingDocument(const TellBlock& tell, const ScriptStatement& st) {
  const auto& all = tell.statements;
  if (all.empty() || &st < all.data() || &st >= all.data() + all.size()) return {};
  for (std::size_t k = static_cast<std::size_t>(&st - all.data()); k < all.size(); ++k) {
    if (all[k].kind == ScriptStatement::Kind::open) return all[k].path;
    if (all[k].kind == ScriptStatement::Kind::close || all[k].kind == ScriptStatement::Kind::quit) {
      break;
    }
  }
  return {};
}

}  // namespace

std::string officeFormatFor(const std::string& formatName) {
  static const std::map<std::string, std::string> kFormats = {
      {"PDF", "pdf"},
      {"Microsoft Word", "docx"},
      {"Microsoft Excel", "xlsx"},
      {"Microsoft Powerpoint", "pptx"},
      {"Formatted Text", "rtf"}};
  auto it = kFormats.find(formatName);
  return it == kFormats.end() ? std::string() : it->second;
}

std::string documentKindFor(const std::string& application) {
  static const std::map<std::string, std::string> kKinds = {
      {"Pages", "text"},
      {"Pages Creator Studio", "text"},
      {"Numbers", "spreadsheet"},
      {"Numbers Creator Studio", "spreadsheet"},
      {"Keynote", "presentation"},
      {"Keynote Creator Studio", "presentation"}};
  auto it = kKinds.find(application);
  return it == kKinds.end() ? std::string() : it->second;
}

ScriptError describeStatement(const TellBlock& tell, const ScriptStatement& st,
                              std::string document, const Status& failure) {
  ScriptError error;
  error.info.emplace_back("application", tell.application);
  error.info.emplace_back("statement", st.text);
  error.info.emplace_back("line", std::to_string(st.line));
  if (st.kind == ScriptStatement::Kind::open) document = st.path;
  if (document.empty()) document = upcomingDocument(tell, st);
  if (!document.empty()) error.info.emplace_back("document", document);
  error.info.emplace_back("message", failure.message());
  if (!failure.details().empty()) error.info.emplace_back("details", failure.details());
  error.reason = reasonOf(failure);
  return error;
}

Status BlockState::run(const ScriptStatement& st, std::vector<PendingExport>* pending) {
  using Kind = ScriptStatement::Kind;
  if (documentKindFor(tell_.application).empty()) {
    return Status::error("application \"" + tell_.application + "\" can't be found");
  }
  if (st.kind == Kind::quit) {
    documents_.clear();
    return process_.quit();
  }
  if (Status s = process_.ensureStarted(); !s.ok()) return s;
  switch (st.kind) {
    case Kind::activate: return {};
    case Kind::open: return open(st.path);
    case Kind::close: return close();
    case Kind::save: return save(st.path);
    case Kind::exportAs: return exportTo(st, pending);
    case Kind::quit: break;
  }
  return {};
}

void BlockState::abandonDocument() {
  process_.dropIfEnded();
  std::vector<std::string> answer;
  while (worker() != nullptr && !documents_.empty() && worker()->call({"close"}, &answer).ok()) {
    documents_.pop_back();
  }
  documents_.clear();
}

Status BlockState::open(const std::string& path) {
  std::string loadable = path;
  IworkContent expected;
  if (Status s = inspect(path, &loadable, &expected); !s.ok()) return s;
  std::vector<std::string> answer;
  Status loaded = worker()->call({"load", loadable}, &answer);
  if (loadable != path) officeEnv(config_).removeAll(loadable);  // a package folder's copy
  if (!loaded.ok()) return explainLoadFailure(path, loaded).status();
  documents_.push_back(path);
  const std::string kind = answer.empty() ? "unknown" : answer[0];
  const std::string wanted = documentKindFor(tell_.application);
  if (kind != wanted) return wrongKindOfFile(path, kind, tell_.application, wanted).status();
  if (!expected.any()) return {};
  DocumentCensus census;
  if (Status s = worker()->census(&census); !s.ok()) return s;
  return checkNothingLost(expected, census);
}

// Checks a document before LibreOffice opens it. An iWork document must
// be a readable container of a format version a reader supports; the
// worker reads it (hostile input stays out of this process), tells what
// content LibreOffice must bring over, and turns a package folder into
// the single file LibreOffice opens (*loadable). An Office document
// must not be empty.
Status BlockState::inspect(const std::string& path, std::string* loadable,
                           IworkContent* expected) {
  const std::string ext = fs::path(path).extension().string();
  const auto iwork = iworkApplications().find(ext.empty() ? "" : ext.substr(1));
  const FileInfo info = officeEnv(config_).stat(path);
  if (iwork == iworkApplications().end()) {
    if (info.exists && !info.isDir && !info.isSpecial && info.size == 0) {
      return emptyFile().status();
    }
    return {};  // LibreOffice itself tells what it cannot open
  }
  if (!info.exists) return {};  // the worker names the missing file
  std::vector<std::string> answer;
  const Status s =
      worker()->call({"inspect", path, worker()->scratchPath("package" + ext)}, &answer);
  if (!s.ok()) return inspectionFailure(iwork->second, s);
  if (answer.size() != 3) return Status::error("the LibreOffice worker answered no inspection");
  *expected = {std::strtoull(answer[0].c_str(), nullptr, 10),
               std::strtoull(answer[1].c_str(), nullptr, 10)};
  *loadable = answer[2];
  return {};
}

// Why the check of an iWork document of `application` failed: what it
// found wrong, or how it ended the worker (the check reads nothing but
// the document: whatever ends it is the document's doing).
Status BlockState::inspectionFailure(const std::string& application,
                                     const Status& failure) const {
  switch (worker()->lastEnding()) {
    case OfficeWorker::Ending::answered: break;
    case OfficeWorker::Ending::stopped:
      return checkEnded(application, CheckEnding::crashed, {}, failure.details()).status();
    case OfficeWorker::Ending::timedOut:
      return checkEnded(application, CheckEnding::timedOut,
                        formatTimeLimit(config_.statementLimit), failure.details())
          .status();
    case OfficeWorker::Ending::tooLarge:
      return checkEnded(application, CheckEnding::tooLarge,
                        std::to_string(config_.workerMemoryCap >> 20), failure.details())
          .status();
  }
  if (!failure.details().empty()) return failure;  // explained by the worker
  return unreadableDocument(application, failure.message()).status();
}

Status BlockState::close() {
  if (documents_.empty()) return Status::error("no document is open");
  std::vector<std::string> answer;
  if (Status s = worker()->call({"close"}, &answer); !s.ok()) return s;
  documents_.pop_back();
  return {};
}

Status BlockState::save(const std::string& target) {
  if (documents_.empty()) return Status::error("no document is open");
  const std::string ext = fs::path(target).extension().string();
  if (auto it = iworkApplications().find(ext.empty() ? "" : ext.substr(1));
      it != iworkApplications().end()) {
    return FailureReason::worded(FailureKind::unexplained,
                                 "LibreOffice reads %1 documents but cannot write them; %2 was "
                                 "not written",
                                 {it->second, target})
        .status();
  }
  return FailureReason::worded(FailureKind::unexplained,
                               "saving in the application's own format is not possible here; %1 "
                               "was not written",
                               {target})
      .status();
}

Status BlockState::exportTo(const ScriptStatement& statement,
                            std::vector<PendingExport>* pending) {
  const std::string& target = statement.path;
  const std::string& formatName = statement.format;
  if (documents_.empty()) return Status::error("no document is open");
  const std::string format = officeFormatFor(formatName);
  if (format.empty()) {
    return FailureReason::worded(FailureKind::unexplained,
                                 "LibreOffice cannot write the format %1; %2 was not written",
                                 {formatName, target})
        .status();
  }
  // Written under a hidden temporary name beside the target, then renamed
  // over it: a failed export leaves no half-written file behind.
  const fs::path finalPath(target);
  if (Status s = folders_.enter(officeEnv(config_), finalPath); !s.ok()) return s;
  const PendingExport e{partialPathFor(officeEnv(config_), finalPath), finalPath, &statement, &folders_};
  std::vector<std::string> answer;
  const pid_t pid = worker()->pid();
  if (Status s = worker()->call({"save", e.partial.string(), format}, &answer); !s.ok()) {
    // Told while the partial file still takes its room on the disk.
    const std::uint64_t source = officeEnv(config_).stat(documents_.back()).size;
    const Status reason = explainSaveFailure(target, s, source).status();
    discard(officeEnv(config_), {e});
    removeSaveLeftovers(officeEnv(config_), e.partial.parent_path(), pid,
                        process_.running() != nullptr ? process_.running()->pids()
                                                      : std::vector<pid_t>());
    return reason;
  }
  pending->push_back(e);
  return {};
}

}  // namespace morvane
