#include "engine/script_service.h"

namespace morvane {

std::string ScriptError::description() const {
  std::string text = "{\n";
  for (const auto& [key, value] : info) text += "    " + key + " = \"" + value + "\";\n";
  text += "}";
  return text;
}

void ScriptCancellation::cancel() {
  MutexLock lock(mutex_);
  cancelled_ = true;
  if (script_ != nullptr) script_->cancel();
}

bool ScriptCancellation::cancelled() const {
  MutexLock lock(mutex_);
  return cancelled_;
}

bool ScriptCancellation::running() const {
  MutexLock lock(mutex_);
  return script_ != nullptr;
}

void ScriptCancellation::attach(Script* script) {
  MutexLock lock(mutex_);
  script_ = script;
  if (cancelled_) script_->cancel();
}

void ScriptCancellation::detach() {
  MutexLock lock(mutex_);
  script_ = nullptr;
  cancelled_ = false;  // the next run starts afresh
}

}  // namespace morvane
