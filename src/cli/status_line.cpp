#include "cli/status_line.h"

#include <ostream>

namespace morvane {

namespace {
constexpr char kClearLine[] = "\r\033[K";
}

void StatusLine::progress(const std::string& text, bool last) {
  if (!terminal_) return;
  MutexLock lock(mutex_);
  out_ << kClearLine << text;
  if (last) out_ << '\n';
  progressShown_ = !last;
  out_.flush();
}

void StatusLine::line(const std::string& text) {
  MutexLock lock(mutex_);
  if (progressShown_) out_ << kClearLine;
  progressShown_ = false;
  out_ << text << '\n';
  out_.flush();
}

}  // namespace morvane
