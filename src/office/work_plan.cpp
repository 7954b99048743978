#include "office/work_plan.h"

namespace morvane {

namespace {

using Kind = ScriptStatement::Kind;

Status refuse(const ScriptStatement& st, std::string_view why) {
  return Status::error("line " + std::to_string(st.line) + ": " + std::string(why) + ": " +
                       st.text);
}

// Why `st` cannot come where a document may start (or the block end).
Status refuseOutsideDocument(const ScriptStatement& st) {
  return refuse(st, "no document is open");
}

// Why `st` cannot come while a document is open.
Status refuseInsideDocument(const ScriptStatement& st) {
  if (st.kind == Kind::quit) return refuse(st, "the open document was not closed before");
  return refuse(st, "a document is already open; close it first");
}

}  // namespace

const std::string& PlannedDocument::path() const {
  std::size_t k = first;
  if (block->statements[k].kind == Kind::activate) ++k;
  return block->statements[k].path;
}

Status WorkPlan::parse(std::string_view text, WorkPlan* out) {
  *out = WorkPlan();
  if (Status s = parseScript(text, &out->script_); !s.ok()) return s;
  for (const TellBlock& block : out->script_.blocks) {
    if (Status s = out->planBlock(block); !s.ok()) return s;
    out->statements_ += block.statements.size();
  }
  return {};
}

// (activate? open (save|export)* close)+ quit?
Status WorkPlan::planBlock(const TellBlock& block) {
  const std::vector<ScriptStatement>& st = block.statements;
  const std::size_t before = documents_.size();
  std::size_t i = 0;
  while (i < st.size() && st[i].kind != Kind::quit) {
    PlannedDocument document{&block, i, i};
    if (st[i].kind == Kind::activate) {
      if (++i == st.size()) return refuse(st[i - 1], "no document is opened after it");
      if (st[i].kind != Kind::open) return refuse(st[i], "expected an open after activate");
    }
    if (st[i].kind != Kind::open) return refuseOutsideDocument(st[i]);
    const ScriptStatement& open = st[i];
    for (++i; i < st.size() && (st[i].kind == Kind::save || st[i].kind == Kind::exportAs); ++i) {
    }
    if (i == st.size()) return refuse(open, "this document is never closed");
    if (st[i].kind != Kind::close) return refuseInsideDocument(st[i]);
    document.end = ++i;
    documents_.push_back(document);
  }
  if (documents_.size() == before) {
    return Status::error("line " + std::to_string(block.line) + ": the tell block of " +
                         block.application + " opens no document");
  }
  if (i + 1 < st.size()) return refuse(st[i + 1], "nothing may follow quit");
  if (i < st.size()) quits_.push_back({documents_.size(), &st[i]});
  return {};
}

}  // namespace morvane
