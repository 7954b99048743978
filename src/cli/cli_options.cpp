#include "cli/cli_options.h"

#include <functional>
#include <map>

namespace morvane {

const char kCliUsage[] =
    "usage: morvane-cli [--office] [--iwork] [--pdf] [--creator-studio] [--rebuild] [--copy]\n"
    "                   [--keep-going] [--verbose] [--log]\n"
    "                   [--target DIR] [--yes] [--script-out FILE] PATH...\n"
    "\n"
    "Converts the documents in each PATH (a file, or a folder with everything below\n"
    "it) between iWork and Microsoft Office formats and to PDF, into the target folder.\n"
    "\n"
    "  --office           export to Microsoft Office formats (docx, xlsx, pptx)\n"
    "  --iwork            export to iWork formats (pages, numbers, key)\n"
    "  --pdf              export to PDF\n"
    "                     (without any of these three: Office only)\n"
    "  --creator-studio   drive the Creator Studio editions of the applications\n"
    "  --rebuild          rebuild the folder structure of added folders in the target\n"
    "  --copy             copy files that cannot be converted into the target\n"
    "  --keep-going       after a failed document, go on with the next one\n"
    "  --verbose          name each file written, on standard error (the default\n"
    "                     when standard error is a terminal)\n"
    "  --log              write the run's diagnostic lines on standard output\n"
    "  --target DIR       the target folder (asked for when missing)\n"
    "  --yes              answer OK to every question\n"
    "  --script-out FILE  write the conversion script to FILE instead of running it\n"
    "  -h, --help         show this help\n"
    "  --version          show the version\n"
    "\n"
    "What a run did goes to standard output; questions, failures and errors go to\n"
    "standard error.\n"
    "\n"
    "Exit status: 0 success, 1 conversion error, 2 usage error, 3 ended at a question.\n";

std::optional<CliOptions> parseCliOptions(const std::vector<std::string>& args,
                                          std::string* error) {
  CliOptions options;
  const std::map<std::string, bool CliOptions::*> flags = {
      {"--office", &CliOptions::office},   {"--iwork", &CliOptions::iwork},
      {"--pdf", &CliOptions::pdf},         {"--creator-studio", &CliOptions::creatorStudio},
      {"--rebuild", &CliOptions::rebuild}, {"--copy", &CliOptions::copy},
      {"--keep-going", &CliOptions::keepGoing},
      {"--verbose", &CliOptions::verbose}, {"--log", &CliOptions::log},
      {"--yes", &CliOptions::yes},         {"--help", &CliOptions::help},
      {"-h", &CliOptions::help},
      {"--version", &CliOptions::version}};
  const std::map<std::string, std::optional<std::string> CliOptions::*> values = {
      {"--target", &CliOptions::target}, {"--script-out", &CliOptions::scriptOut}};
  bool onlyPaths = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyPaths || arg.empty() || arg[0] != '-' || arg == "-") {
      options.paths.push_back(arg);
    } else if (arg == "--") {
      onlyPaths = true;
    } else if (auto flag = flags.find(arg); flag != flags.end()) {
      options.*(flag->second) = true;
    } else if (auto eq = arg.find('='); eq != std::string::npos && values.contains(arg.substr(0, eq))) {
      options.*(values.at(arg.substr(0, eq))) = arg.substr(eq + 1);
    } else if (auto value = values.find(arg); value != values.end()) {
      if (i + 1 == args.size()) {
        *error = arg + " needs a value";
        return std::nullopt;
      }
      options.*(value->second) = args[++i];
    } else {
      *error = "unknown option " + arg;
      return std::nullopt;
    }
  }
  if (options.paths.empty() && !options.help && !options.version) {
    *error = "no PATH given";
    return std::nullopt;
  }
  for (const auto& [name, member] : values) {
    if (options.*member && (options.*member)->empty()) {
      *error = name + " needs a value";
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace morvane
