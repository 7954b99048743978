// Reads the automation script that the engine composes: tell blocks with
// activate, open, save, export, close and quit statements, paths as string
// literals with the engine's escapes. Anything else is refused, naming the
// line, so that the office service runs only what it understands.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace morvane {

struct ScriptStatement {
  enum class Kind { activate, open, save, exportAs, close, quit };
  Kind kind = Kind::activate;
  std::string path;    // open, save, export: the POSIX path
  std::string format;  // export: the format name after "as"
  int line = 0;        // 1-based line of the script
  std::string text;    // the statement as written, without indentation
};

struct TellBlock {
  std::string application;  // "Pages" for "/Applications/Pages.app"
  int line = 0;
  std::vector<ScriptStatement> statements;
};

struct ParsedScript {
  std::vector<TellBlock> blocks;
};

// The format names an export statement may carry.
bool isKnownFormatName(std::string_view name);

Status parseScript(std::string_view text, ParsedScript* out);

}  // namespace morvane
