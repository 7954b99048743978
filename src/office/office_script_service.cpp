#include "office/office_script_service.h"

#include <unistd.h>

#include <filesystem>
#include <map>
#include <system_error>

#include "office/script_parser.h"

namespace morvane {

namespace fs = std::filesystem;

namespace {

// Carries out one parsed script, block by block.
class OfficeScript : public Script {
 public:
  OfficeScript(ParsedScript parsed, const OfficeConfig& config, const ProgressObserver& progress)
      : parsed_(std::move(parsed)), config_(config), progress_(progress) {}

  bool execute(ScriptError* error) override {
    std::size_t total = 0, done = 0;
    for (const TellBlock& block : parsed_.blocks) total += block.statements.size();
    for (const TellBlock& block : parsed_.blocks) {
      Block state{block, {}, {}};
      for (const ScriptStatement& st : block.statements) {
        if (progress_) progress_({done++, total, st.text});
        if (Status s = run(state, st); !s.ok()) {
          *error = describe(state, st, s.message());
          return false;  // `state` ends the worker: no close or quit after an error
        }
      }
      if (state.worker) state.worker->quit();  // a block without quit
    }
    return true;
  }

 private:
  struct Block {
    const TellBlock& tell;
    std::unique_ptr<OfficeWorker> worker;
    std::vector<std::string> documents;  // open documents, document 1 last
  };

  Status run(Block& b, const ScriptStatement& st) {
    using Kind = ScriptStatement::Kind;
    if (documentKindFor(b.tell.application).empty()) {
      return Status::error("application \"" + b.tell.application + "\" can't be found");
    }
    if (st.kind == Kind::quit) {
      if (!b.worker) return {};
      Status s = b.worker->quit();
      b.worker.reset();
      b.documents.clear();
      return s;
    }
    if (!b.worker) {
      if (Status s = OfficeWorker::start(config_, &b.worker); !s.ok()) return s;
    }
    switch (st.kind) {
      case Kind::activate: return {};
      case Kind::open: return open(b, st.path);
      case Kind::close: return close(b);
      case Kind::save: return save(b, st.path);
      case Kind::exportAs: return exportTo(b, st.path, officeFormatFor(st.format), st.format);
      case Kind::quit: break;
    }
    return {};
  }

  Status open(Block& b, const std::string& path) {
    std::vector<std::string> answer;
    if (Status s = b.worker->call({"load", path}, &answer); !s.ok()) return s;
    b.documents.push_back(path);
    const std::string kind = answer.empty() ? "unknown" : answer[0];
    const std::string wanted = documentKindFor(b.tell.application);
    if (kind != wanted) {
      return Status::error(b.tell.application + " opens " + wanted +
                           " documents, but this is a " + kind + " document");
    }
    return {};
  }

  Status close(Block& b) {
    if (b.documents.empty()) return Status::error("no document is open");
    std::vector<std::string> answer;
    if (Status s = b.worker->call({"close"}, &answer); !s.ok()) return s;
    b.documents.pop_back();
    return {};
  }

  Status save(Block& b, const std::string& target) {
    if (b.documents.empty()) return Status::error("no document is open");
    static const std::map<std::string, std::string> kIworkNames = {
        {"pages", "Pages"}, {"numbers", "Numbers"}, {"key", "Keynote"}};
    const std::string ext = fs::path(target).extension().string();
    if (auto it = kIworkNames.find(ext.empty() ? "" : ext.substr(1)); it != kIworkNames.end()) {
      return Status::error("LibreOffice reads " + it->second + " documents but cannot write them; " +
                           target + " was not written");
    }
    return Status::error("saving in the application's own format is not possible here; " +
                         target + " was not written");
  }

  Status exportTo(Block& b, const std::string& target, const std::string& format,
                  const std::string& formatName) {
    if (b.documents.empty()) return Status::error("no document is open");
    if (format.empty()) {
      return Status::error("LibreOffice cannot write the format " + formatName + "; " + target +
                           " was not written");
    }
    // Written under a hidden temporary name beside the target, then renamed
    // over it: a failed export leaves no half-written file behind.
    const fs::path finalPath(target);
    const fs::path partial = finalPath.parent_path() /
                             ("." + finalPath.filename().string() + ".morvane-" +
                              std::to_string(::getpid()) + ".part");
    std::vector<std::string> answer;
    Status s = b.worker->call({"save", partial.string(), format}, &answer);
    std::error_code ec;
    if (s.ok()) {
      fs::rename(partial, finalPath, ec);
      if (ec) s = Status::error("cannot write " + target + ": " + ec.message());
    }
    if (!s.ok()) fs::remove(partial, ec);
    return s;
  }

  ScriptError describe(Block& b, const ScriptStatement& st, const std::string& message) {
    ScriptError error;
    error.info.emplace_back("application", b.tell.application);
    error.info.emplace_back("statement", st.text);
    error.info.emplace_back("line", std::to_string(st.line));
    const std::string document = st.kind == ScriptStatement::Kind::open ? st.path
                                 : b.documents.empty()                  ? std::string()
                                                                        : b.documents.back();
    if (!document.empty()) error.info.emplace_back("document", document);
    error.info.emplace_back("message", message);
    return error;
  }

  ParsedScript parsed_;
  OfficeConfig config_;
  ProgressObserver progress_;
};

}  // namespace

OfficeScriptService::OfficeScriptService(OfficeConfig config, ProgressObserver progress)
    : config_(std::move(config)), progress_(std::move(progress)) {}

std::unique_ptr<Script> OfficeScriptService::create(const std::string& source,
                                                    ScriptError* error) {
  ParsedScript parsed;
  if (Status s = parseScript(source, &parsed); !s.ok()) {
    error->info = {{"message", "the script cannot be run: " + s.message()}};
    return nullptr;
  }
  return std::make_unique<OfficeScript>(std::move(parsed), config_, progress_);
}

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

}  // namespace morvane
