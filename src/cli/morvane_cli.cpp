#include "cli/morvane_cli.h"

#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/cli_options.h"
#include "cli/script_file_service.h"
#include "cli/terminal_alert_service.h"
#include "engine/conversion_controller.h"
#include "engine/script_runner.h"
#include "options/morvane_options.h"

#ifndef MORVANE_VERSION
#define MORVANE_VERSION "0.0.0"
#endif

namespace morvane {

namespace {

void applyChoices(const CliOptions& cli, MorvaneOptions& options) {
  if (cli.anyExportClass()) {
    options.setOfficeExport(cli.office);
    options.setIworkExport(cli.iwork);
    options.setPdfExport(cli.pdf);
  }
  if (cli.creatorStudio) options.setUseCreatorStudio(true);
  if (cli.rebuild) options.setRebuildStruct(true);
  if (cli.copy) options.setCopyNonconvertibleFiles(true);
  if (cli.target) options.setTargetFolder(std::filesystem::absolute(*cli.target));
}

}  // namespace

int runCli(const std::vector<std::string>& args, CliContext context) {
  std::string error;
  const std::optional<CliOptions> cli = parseCliOptions(args, &error);
  if (!cli) {
    context.err << "morvane-cli: " << error << "\n" << kCliUsage;
    return kExitUsage;
  }
  if (cli->help) {
    context.out << kCliUsage;
    return kExitSuccess;
  }
  if (cli->version) {
    context.out << "morvane-cli " << MORVANE_VERSION << "\n";
    std::vector<std::string> lines;
    if (context.describeBackend) {
      if (Status s = context.describeBackend(&lines); !s.ok()) {
        context.err << "morvane-cli: " << s.message() << "\n";
        return kExitFailure;
      }
    }
    for (const std::string& line : lines) context.out << line << "\n";
    return kExitSuccess;
  }

  MorvaneOptions options(context.version, context.env);
  applyChoices(*cli, options);
  for (const std::string& path : cli->paths) options.addFile(std::filesystem::absolute(path));

  std::unique_ptr<ScriptFileService> scriptFile;
  if (cli->scriptOut) {
    scriptFile = std::make_unique<ScriptFileService>(std::filesystem::absolute(*cli->scriptOut));
  }
  TerminalAlertService alerts(context.in, context.err, context.interactive, cli->yes);
  const EngineServices services{context.env, scriptFile ? *scriptFile : context.scripts, alerts,
                                context.version};
  ScriptRunner runner(options, services);
  ConversionController(options, runner, services).runBatchConversion();

  if (alerts.lastTitle() == "Success") return kExitSuccess;
  if (alerts.lastTitle() == "Error") return kExitFailure;
  return kExitQuestion;
}

}  // namespace morvane
