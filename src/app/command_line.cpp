#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace morvane {
namespace {

const QString kProgram = QStringLiteral("morvane");

// Qt names the program after argv[0] (or "<executable_name>" before the
// application exists); the help always says "morvane".
QString helpText(const QCommandLineParser& parser) {
  QString text = parser.helpText();
  const qsizetype options = text.indexOf(QLatin1String(" [options]"));
  if (text.startsWith(QLatin1String("Usage: ")) && options > 0) {
    text.replace(7, options - 7, kProgram);
  }
  return text;
}

// A text with a scheme is a URL unless a file of that name exists (a file
// may have a colon in its name); the same rule as the desktop's requests.
bool isUrl(const QString& text, const QString& absolute) {
  const QUrl url(text, QUrl::StrictMode);
  return url.isValid() && url.scheme().size() > 1 && !QFileInfo::exists(absolute);
}

void classify(const QString& text, const QDir& here, CommandLine* line) {
  if (text.isEmpty()) {  // not the current folder
    line->request.missing.push_back(text);
    return;
  }
  const QString absolute = QDir::cleanPath(here.absoluteFilePath(text));
  if (!isUrl(text, absolute)) {
    (QFileInfo::exists(absolute) ? line->request.files : line->request.missing).push_back(absolute);
    return;
  }
  const QUrl url(text, QUrl::StrictMode);
  if (!url.isLocalFile()) {
    line->notLocal.push_back(text);
    return;
  }
  const QString path = QDir::cleanPath(here.absoluteFilePath(url.toLocalFile()));
  if (QFileInfo::exists(path)) {
    line->request.files.push_back(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
  } else {
    line->request.missing.push_back(path);
  }
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments, const QString& currentFolder) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(QStringLiteral(
      "Converts office documents in batches between Apple iWork and Microsoft Office\n"
      "formats, and to PDF. The files and folders named are added to the list (a folder\n"
      "brings the files below it); when Morvane runs already, its window takes them."));
  const QCommandLineOption help({"h", "help"}, QStringLiteral("Shows this help and exits."));
  const QCommandLineOption version({"v", "version"},
                                   QStringLiteral("Shows the version and exits."));
  parser.addOption(help);
  parser.addOption(version);
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("Files or folders to add: paths or file URLs."),
                               QStringLiteral("[FILE…]"));

  CommandLine line;
  const bool parsed = parser.parse(arguments);
  // --help and --version win over anything else on the line.
  if (parser.isSet(help)) {
    line.action = CommandLine::Action::showHelp;
    line.text = helpText(parser);
  } else if (parser.isSet(version)) {
    line.action = CommandLine::Action::showVersion;
    line.text =
        QCoreApplication::applicationName() + ' ' + QCoreApplication::applicationVersion() + '\n';
  } else if (!parsed) {
    line.action = CommandLine::Action::usageError;
    line.text = kProgram + ": " + parser.errorText() + " Try '" + kProgram + " --help'.\n";
  } else {
    const QDir here(currentFolder);
    for (const QString& text : parser.positionalArguments()) classify(text, here, &line);
  }
  return line;
}

QStringList argumentsOf(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(QString::fromLocal8Bit(argv[i]));
  return arguments;
}

void reportUnusable(const CommandLine& line, std::FILE* err) {
  for (const QString& path : line.request.missing) {
    std::fprintf(err, "%s: %s: no such file or folder\n", qPrintable(kProgram), qPrintable(path));
  }
  for (const QString& url : line.notLocal) {
    std::fprintf(err, "%s: %s: not a local file\n", qPrintable(kProgram), qPrintable(url));
  }
}

}  // namespace morvane
