// StatusLine: what morvane-cli tells on standard error while a run goes
// on. On a terminal the progress is one line redrawn in place; whole lines
// (files written, notes) are written below it without mixing with it.
// Thread-safe: the script service reports from its own threads.
#pragma once

#include <iosfwd>
#include <string>

#include "platform/thread_annotations.h"

namespace morvane {

class StatusLine {
 public:
  // `terminal`: the stream is a terminal, where progress is shown.
  StatusLine(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

  bool terminal() const { return terminal_; }
  // Redraws the progress line (on a terminal only); `last` ends it.
  void progress(const std::string& text, bool last) EXCLUDES(mutex_);
  // Writes one whole line, clearing a progress line that is shown.
  void line(const std::string& text) EXCLUDES(mutex_);

 private:
  Mutex mutex_;
  std::ostream& out_ GUARDED_BY(mutex_);
  const bool terminal_;
  bool progressShown_ GUARDED_BY(mutex_) = false;
};

}  // namespace morvane
