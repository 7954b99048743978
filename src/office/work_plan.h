// WorkPlan: the work a script asks for, planned once from its text. The
// text stays the contract with the engine; this turns it into the
// documents of all tell blocks in the order of the script, each a run
// [activate] open (save|export)* close, and each block's closing quit.
// The office service runs only this plan: any other shape is refused.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "office/script_parser.h"
#include "platform/status.h"

namespace morvane {

// One document of the script: the statements [first, end) of its block.
struct PlannedDocument {
  const TellBlock* block = nullptr;
  std::size_t first = 0;
  std::size_t end = 0;  // one past its close

  // The path its open statement names.
  const std::string& path() const;
};

// A block's quit, told once the first `after` documents of the script are
// committed (the block's own and all before them).
struct QuitMark {
  std::size_t after = 0;
  const ScriptStatement* statement = nullptr;
};

// Movable, not copyable: the documents point into the plan's own blocks.
class WorkPlan {
 public:
  WorkPlan() = default;
  WorkPlan(WorkPlan&&) = default;
  WorkPlan& operator=(WorkPlan&&) = default;
  WorkPlan(const WorkPlan&) = delete;
  WorkPlan& operator=(const WorkPlan&) = delete;

  // Reads and plans `text`. A statement the parser does not know, or one
  // out of the planned shape, is an error naming its line and its text; a
  // tell block that opens no document is one naming the block.
  static Status parse(std::string_view text, WorkPlan* out);

  const std::vector<TellBlock>& blocks() const { return script_.blocks; }
  const std::vector<PlannedDocument>& documents() const { return documents_; }
  const std::vector<QuitMark>& quits() const { return quits_; }
  std::size_t statementCount() const { return statements_; }

 private:
  Status planBlock(const TellBlock& block);

  ParsedScript script_;
  std::vector<PlannedDocument> documents_;
  std::vector<QuitMark> quits_;
  std::size_t statements_ = 0;
};

}  // namespace morvane
