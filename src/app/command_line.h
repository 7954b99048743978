// CommandLine: what `morvane [options] [FILE…]` asks for: help, the
// version, or opening files (paths or file URLs). It needs no QApplication,
// so --help and --version are answered before the GUI (and a display) is
// started.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>

#include "app/open_request.h"

namespace morvane {

struct CommandLine {
  enum class Action { open, showHelp, showVersion, usageError };
  Action action = Action::open;
  // The help, the version line, or the one-line usage error with a hint
  // to --help; each ends with a newline.
  QString text;
  // For `open`: the existing items, and the named ones that do not exist.
  OpenRequest request;
  // Texts that name neither a path nor a file URL (other URLs): not added.
  QStringList notLocal;
};

// Parses `arguments` (the program first). Relative paths are made absolute
// against `currentFolder`. Options are read the way Qt's own are written
// ("-platform" is one option, not eight letters), so that parsing the raw
// arguments before Qt has taken its options out still finds --help and
// --version; the other options then count as unknown.
CommandLine parseCommandLine(const QStringList& arguments, const QString& currentFolder);

// The process arguments as Qt reads them (local 8-bit encoding).
QStringList argumentsOf(int argc, char** argv);

// "morvane: PATH: no such file or folder" for each missing path and
// "morvane: URL: not a local file" for each other URL, one line each.
void reportUnusable(const CommandLine& line, std::FILE* err);

}  // namespace morvane
