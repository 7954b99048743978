// FailureReason: why a document could not be converted, as the engine
// hands it to the front ends: its kind, the plain English sentence, the
// original words it explains, and the sentence's pattern with the values
// put into it, so that a front end can say it in the user's language.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/status.h"

namespace morvane {

enum class FailureKind {
  unexplained,  // nothing better is known: the sentence is the text itself
  missing,      // the document, or the target's folder, is not there
  diskFull,
  readOnlyDisk,
  nameTooLong,
  noPermission,
  damaged,  // damaged or truncated
  wrongKind,
  passwordProtected,
  crashed,
  tooMuchMemory,
  tooSlow,
};

struct FailureReason {
  FailureKind kind = FailureKind::unexplained;
  std::string sentence = {};  // plain words, for the user
  std::string details = {};   // the text it explains; empty when that is the sentence
  // The sentence with %1, %2, … in place of `values` (a folder, a size in
  // MB, a time limit); empty when the sentence is no fixed wording (a text
  // passed on as it came).
  std::string pattern = {};
  std::vector<std::string> values = {};

  // A reason worded by `pattern`: the sentence is the pattern with the values.
  static FailureReason worded(FailureKind kind, std::string pattern,
                              std::vector<std::string> values, std::string details = {});

  // The reason as a failed status (message: the sentence) that carries it.
  Status status() const;
};

// `pattern` with %1 … %9 replaced by `values` in order.
std::string fillPattern(const std::string& pattern, const std::vector<std::string>& values);

// The reason a status carries, or one of kind unexplained made of its message and details.
FailureReason reasonOf(const Status& status);

}  // namespace morvane
