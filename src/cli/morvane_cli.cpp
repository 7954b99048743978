#include "cli/morvane_cli.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/cli_options.h"
#include "cli/run_report_text.h"
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

// The command line's locations, made absolute against the working folder.
struct AbsolutePaths {
  std::optional<fs::path> target;
  std::optional<fs::path> scriptOut;
  std::vector<fs::path> paths;
};

// The absolute form of `path`; unset, with *error saying why, when there
// is none (a relative path while the working folder is gone).
std::optional<fs::path> absolutePath(const std::string& path, std::string* error) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (!ec) return absolute;
  *error = "cannot locate " + path + ": the working folder cannot be read (" + ec.message() +
           "); give an absolute path";
  return std::nullopt;
}

std::optional<AbsolutePaths> absolutePaths(const CliOptions& cli, std::string* error) {
  AbsolutePaths out;
  for (const std::string& path : cli.paths) {
    std::optional<fs::path> absolute = absolutePath(path, error);
    if (!absolute) return std::nullopt;
    out.paths.push_back(std::move(*absolute));
  }
  if (cli.target && !(out.target = absolutePath(*cli.target, error))) return std::nullopt;
  if (cli.scriptOut && !(out.scriptOut = absolutePath(*cli.scriptOut, error))) return std::nullopt;
  return out;
}

void applyChoices(const CliOptions& cli, const AbsolutePaths& paths, MorvaneOptions& options) {
  if (cli.anyExportClass()) {
    options.setOfficeExport(cli.office);
    options.setIworkExport(cli.iwork);
    options.setPdfExport(cli.pdf);
  }
  if (cli.creatorStudio) options.setUseCreatorStudio(true);
  if (cli.rebuild) options.setRebuildStruct(true);
  if (cli.copy) options.setCopyNonconvertibleFiles(true);
  if (cli.keepGoing) options.setContinueAfterFailure(true);
  if (paths.target) options.setTargetFolder(*paths.target);
  for (const fs::path& path : paths.paths) options.addFile(path);
}

int printVersion(const CliContext& context) {
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

int exitStatus(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::succeeded: return kExitSuccess;
    case RunOutcome::failed: return kExitFailure;
    case RunOutcome::endedAtQuestion: return kExitQuestion;
    case RunOutcome::cancelled: return kExitCancelled;
    case RunOutcome::nothingToConvert: return kExitFailure;
  }
  return kExitFailure;
}

// One run with the parsed command line.
int runBatch(const CliOptions& cli, const CliContext& context) {
  std::string error;
  const std::optional<AbsolutePaths> paths = absolutePaths(cli, &error);
  if (!paths) {
    context.err << "morvane-cli: " << error << "\n";
    return kExitUsage;
  }
  if (context.showLog) context.showLog(cli.log);
  MorvaneOptions options(context.version, context.env);
  {
    Interruptible::Scope scanning(context.interruptible);  // reads, writes nothing
    applyChoices(cli, *paths, options);
  }
  std::unique_ptr<ScriptFileService> scriptFile;
  if (paths->scriptOut) {
    const Status s = checkScriptOutIsNoSource(context.env, options.fileList(), *paths->scriptOut);
    if (!s.ok()) {
      context.err << "morvane-cli: " << s.message() << "\n";
      return kExitUsage;
    }
    scriptFile = std::make_unique<ScriptFileService>(*paths->scriptOut);
  }
  TerminalAlertService alerts(context.in, context.out, context.err, context.interactive, cli.yes,
                              context.interruptible);
  alerts.setDescribeBackend(context.describeBackend);
  StatusLine plain(context.err, false);
  StatusLine& status = context.status != nullptr ? *context.status : plain;
  EngineServices services{context.env, scriptFile ? *scriptFile : context.scripts, alerts,
                          context.version, context.cancellation};
  if (cli.verbose || status.terminal()) {
    services.fileWritten = [&status](const fs::path& path) {
      status.line("morvane-cli: wrote " + path.string());
    };
  }
  ScriptRunner runner(options, services);
  const RunOutcome outcome = ConversionController(options, runner, services).runBatchConversion();
  const RunReport& report = runner.report();
  if (outcome == RunOutcome::nothingToConvert) {
    for (const std::string& line : describeNothingToConvert(report)) {
      context.err << "morvane-cli: nothing to convert: " << line << "\n";
    }
    return exitStatus(outcome);
  }
  for (const FailedDocument& failed : report.failed) {
    if (failed.document.empty()) continue;
    context.err << "morvane-cli: not converted: " << failed.document << ": "
                << failed.reason.sentence << "\n";
  }
  for (const DocumentWithoutExport& d : report.withoutExport) {
    context.err << "morvane-cli: not converted: " << d.document << ": "
                << describeMissingExport(d.why, true) << "\n";
  }
  return exitStatus(outcome);
}

}  // namespace

int runCli(const std::vector<std::string>& args, CliContext context) {
  std::string error;
  const std::optional<CliOptions> cli = parseCliOptions(args, &error);
  if (!cli) {
    context.err << "morvane-cli: " << error << "\n"
                << "Try 'morvane-cli --help' for more information.\n";
    return kExitUsage;
  }
  if (cli->help) {
    context.out << kCliUsage;
    return kExitSuccess;
  }
  if (cli->version) return printVersion(context);
  return runBatch(*cli, context);
}

}  // namespace morvane
