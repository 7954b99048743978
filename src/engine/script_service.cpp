#include "engine/script_service.h"

namespace morvane {

std::string ScriptError::description() const {
  std::string text = "{\n";
  for (const auto& [key, value] : info) text += "    " + key + " = \"" + value + "\";\n";
  text += "}";
  return text;
}

}  // namespace morvane
