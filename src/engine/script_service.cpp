#include "engine/script_service.h"

namespace morvane {

std::string ScriptError::description() const {
  std::string text = "{\n";
  for (const auto& [key, value] : info) text += "    " + key + " = \"" + value + "\";\n";
  text += "}";
  return text;
}

void ScriptCancellation::cancel() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
  if (script_ != nullptr) script_->cancel();
}

bool ScriptCancellation::cancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

bool ScriptCancellation::running() const {
  std::lock_guard lock(mutex_);
  return script_ != nullptr;
}

void ScriptCancellation::attach(Script* script) {
  std::lock_guard lock(mutex_);
  script_ = script;
  if (cancelled_) script_->cancel();
}

void ScriptCancellation::detach() {
  std::lock_guard lock(mutex_);
  script_ = nullptr;
  cancelled_ = false;  // the next run starts afresh
}

}  // namespace morvane
