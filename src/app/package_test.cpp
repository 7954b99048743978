// The install and the Debian package as users get them: `cmake --install`
// of this build under a temporary prefix, and the .deb that scripts/package
// builds, unpacked with dpkg -x into a temporary root. The programs must
// find their worker and translations there, and the desktop entry,
// description, icon, man pages and completion must be where the desktop
// and the programs look.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTranslator>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/translations.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

std::string shellQuoted(const fs::path& path) {
  std::string text = "'";
  for (char c : path.string()) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return text + "'";
}

// Runs `command` in the shell; returns its exit status and its output (both
// streams) in *output.
int shell(const std::string& command, std::string* output) {
  output->clear();
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output->append(buffer, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The value of `key` in the group `[group]` of a desktop-entry-style file.
std::string entryValue(const fs::path& file, const std::string& group, const std::string& key) {
  std::istringstream lines(readFile(file));
  std::string line;
  bool inGroup = false;
  while (std::getline(lines, line)) {
    if (line.starts_with('[')) {
      inGroup = line == "[" + group + "]";
    } else if (inGroup && line.starts_with(key + "=")) {
      return line.substr(key.size() + 1);
    }
  }
  return {};
}

// `cli --version` as a user runs it: the environment's worker settings
// unset, a cache of its own (in `scratch`), LibreOffice's temporary files
// in `scratch`.
int versionOf(const fs::path& cli, const fs::path& scratch, std::string* output) {
  fs::create_directories(scratch / "cache");
  return shell("env -u MORVANE_OFFICE_WORKER -u MORVANE_IWORK_READER_DIR -u "
               "MORVANE_LIBREOFFICE_PROGRAM XDG_CACHE_HOME=" + shellQuoted(scratch / "cache") +
                   " TMPDIR=" + shellQuoted(scratch) + " " + shellQuoted(cli) + " --version",
               output);
}

// Whether a run can show that a program found the install's own worker:
// by the iWork reader installed beside it (when the build bundles one), or
// by a worker starting at all while none is at the configured place.
bool lookupIsProvable(const fs::path& configuredWorker) {
  return MORVANE_READER_BUNDLED || !fs::exists(configuredWorker);
}

void expectInstalledWorker(const std::string& version, const fs::path& prefix) {
  EXPECT_TRUE(std::regex_search(version, std::regex("(^|\n)LibreOffice [0-9]"))) << version;
  if (MORVANE_READER_BUNDLED) {
    EXPECT_NE(version.find("(" + (prefix / "libexec/morvane/lib").string() + ")"),
              std::string::npos)
        << version;
  }
}

// The paragraphs of a Debian copyright file: each field's first line by
// its name ("Files", "License"), continuation lines left out.
std::vector<std::map<std::string, std::string>> paragraphsOf(const std::string& text) {
  std::vector<std::map<std::string, std::string>> paragraphs(1);
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty()) {
      if (!paragraphs.back().empty()) paragraphs.emplace_back();
    } else if (line[0] != ' ' && line.find(':') != std::string::npos) {
      const std::size_t colon = line.find(':');
      const std::size_t value = line.find_first_not_of(' ', colon + 1);
      paragraphs.back()[line.substr(0, colon)] =
          value == std::string::npos ? "" : line.substr(value);
    }
  }
  if (paragraphs.back().empty()) paragraphs.pop_back();
  return paragraphs;
}

// The copyright file in Debian's machine-readable format: the project's
// licence (the one the metainfo names) and those of the bundled reader and
// ODF writer, each licence named once with its text, the maintainer as
// contact, nothing left to fill in.
void expectCopyrightFile(const fs::path& file) {
  const std::string text = readFile(file);
  ASSERT_FALSE(text.empty()) << file;
  EXPECT_FALSE(std::regex_search(text, std::regex("@[A-Z_]+@"))) << text;
  const auto paragraphs = paragraphsOf(text);
  ASSERT_GE(paragraphs.size(), 4u);
  EXPECT_EQ(paragraphs[0].at("Format"),
            "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/");
  EXPECT_EQ(paragraphs[0].at("Upstream-Contact"), MORVANE_PACKAGE_CONTACT);
  std::map<std::string, std::string> licenceOf;  // by Files pattern
  std::set<std::string> named, given;
  for (const auto& paragraph : paragraphs) {
    if (!paragraph.contains("License")) continue;
    if (paragraph.contains("Files")) {
      EXPECT_TRUE(paragraph.contains("Copyright")) << paragraph.at("Files");
      licenceOf[paragraph.at("Files")] = paragraph.at("License");
      std::string rest = paragraph.at("License");
      for (std::size_t or_; (or_ = rest.find(" or ")) != std::string::npos;) {
        named.insert(rest.substr(0, or_));
        rest = rest.substr(or_ + 4);
      }
      named.insert(rest);
    } else {
      given.insert(paragraph.at("License"));
    }
  }
  EXPECT_EQ(named, given) << "each licence a Files paragraph names has its own text";
  std::smatch project;
  const std::string metainfo =
      readFile(MORVANE_SOURCE_DIR "/resources/" MORVANE_APP_ID ".metainfo.xml");
  ASSERT_TRUE(std::regex_search(metainfo, project,
                                std::regex("<project_license>([^<]+)</project_license>")));
  EXPECT_EQ(licenceOf["*"], project[1]);
  EXPECT_EQ(licenceOf["third_party/libetonyek/*"], "MPL-2.0");
  EXPECT_EQ(licenceOf["third_party/libodfgen/*"], "MPL-2.0 or LGPL-2.1+");
}

TEST(Install, ProgramsUnderAnyPrefixFindTheirWorker) {
  if (!lookupIsProvable(MORVANE_CONFIGURED_WORKER)) {
    GTEST_SKIP() << "Morvane is installed at " MORVANE_CONFIGURED_WORKER
                    ": it would hide a missed lookup";
  }
  testing::TempDir tmp;
  const fs::path prefix = tmp.path() / "usr";
  std::string output;
  ASSERT_EQ(
      shell("cmake --install " MORVANE_BUILD_DIR " --prefix " + shellQuoted(prefix), &output), 0)
      << output;
  EXPECT_TRUE(fs::exists(prefix / "share/morvane/translations/morvane_de.qm"));
  expectCopyrightFile(prefix / "share/doc/morvane/copyright");
  if (MORVANE_READER_BUNDLED) {
    // The reader and the ODF writer LibreOffice reads it through, together.
    for (const char* library : {"libetonyek-0.1.so.1", "libodfgen-0.1.so.1"}) {
      EXPECT_TRUE(fs::exists(prefix / "libexec/morvane/lib" / library)) << library;
    }
  }
  ASSERT_EQ(versionOf(prefix / "bin/morvane-cli", tmp.path() / "run", &output), 0) << output;
  expectInstalledWorker(output, prefix);
}

// One package for all cases: the one scripts/package builds (in its own
// build tree, build-package/), unpacked.
class DebianPackage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::TempDir;
    const fs::path log = dir_->path() / "package.log";
    std::string printed, output;
    const int status =
        shell("(" MORVANE_SOURCE_DIR "/scripts/package 2>" + shellQuoted(log) + ")", &printed);
    log_ = readFile(log);
    while (!printed.empty() && printed.back() == '\n') printed.pop_back();
    if (status != 0 || !fs::is_regular_file(printed)) return;
    if (shell("dpkg-deb -x " + shellQuoted(printed) + " " + shellQuoted(root()), &output) != 0) {
      log_ += output;
      return;
    }
    deb_ = printed;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    ASSERT_FALSE(deb_.empty()) << "scripts/package or dpkg-deb failed:\n" << log_;
  }

  static fs::path root() { return dir_->path() / "root"; }
  static fs::path usr() { return root() / "usr"; }
  static std::string field(const std::string& name) {
    std::string value;
    shell("dpkg-deb -f " + shellQuoted(deb_) + " " + name, &value);
    while (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
  }

  static inline testing::TempDir* dir_ = nullptr;
  static inline fs::path deb_;
  static inline std::string log_;
};

TEST_F(DebianPackage, NamesItselfAndWhatItNeeds) {
  EXPECT_EQ(field("Package"), "morvane");
  EXPECT_EQ(field("Version"), MORVANE_VERSION);
  const std::string depends = field("Depends");
  // LibreOffice for the worker, the platform plugins for the window, the
  // fonts PDFs draw in place of the authors' ones, and the linked libraries
  // as dpkg-shlibdeps finds them.
  for (const char* package : {"libreoffice-writer", "libreoffice-calc", "libreoffice-impress",
                              "qt6-qpa-plugins", "libqt6svg6", "libqt6widgets6", "libqt6dbus6",
                              "libc6", "libzip4", "libprotobuf", "fonts-crosextra-carlito",
                              "fonts-crosextra-caladea", "fonts-liberation2", "fonts-urw-base35",
                              "fonts-noto-cjk", "libfontconfig1"}) {
    EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
  }
  if (MORVANE_READER_BUNDLED) {
    EXPECT_NE(depends.find("librevenge"), std::string::npos) << depends;
  }
  EXPECT_NE(field("Recommends").find("qt6-translations-l10n"), std::string::npos);
}

TEST_F(DebianPackage, HoldsEverythingWhereItIsLookedFor) {
  for (const char* program : {"bin/morvane", "bin/morvane-cli", "libexec/morvane/morvane-office"}) {
    EXPECT_EQ(::access((usr() / program).c_str(), X_OK), 0) << program;
  }
  if (MORVANE_READER_BUNDLED) {
    for (const char* library : {"libetonyek-0.1.so.1", "libodfgen-0.1.so.1"}) {
      EXPECT_TRUE(fs::exists(usr() / "libexec/morvane/lib" / library)) << library;
    }
  }
  for (const std::string file :
       {"share/applications/" MORVANE_APP_ID ".desktop",
        "share/metainfo/" MORVANE_APP_ID ".metainfo.xml",
        "share/icons/hicolor/scalable/apps/" MORVANE_APP_ID ".svg",
        "share/man/man1/morvane.1.gz", "share/man/man1/morvane-cli.1.gz",
        "share/bash-completion/completions/morvane-cli",
        "share/morvane/translations/morvane_de.qm", "share/nemo/actions/morvane.nemo_action"}) {
    EXPECT_TRUE(fs::is_regular_file(usr() / file)) << file;
  }
  // Nothing outside /usr, nothing for a build machine.
  for (const auto& entry : fs::directory_iterator(root())) {
    EXPECT_EQ(entry.path().filename(), "usr");
  }
  EXPECT_FALSE(fs::exists(usr() / "include"));
}

// The maintainer is the address error reports go to; the copyright file is
// where Debian's tools look for it.
TEST_F(DebianPackage, NamesItsMaintainerAndItsLicences) {
  EXPECT_EQ(field("Maintainer"), MORVANE_PACKAGE_CONTACT);
  expectCopyrightFile(usr() / "share/doc/morvane/copyright");
}

TEST_F(DebianPackage, DesktopFilesPointAtInstalledFiles) {
  const fs::path entry = usr() / "share/applications/" MORVANE_APP_ID ".desktop";
  const std::string group = "Desktop Entry";
  EXPECT_EQ(entryValue(entry, group, "Exec"), "morvane %U");
  EXPECT_TRUE(fs::exists(usr() / "bin" / entryValue(entry, group, "TryExec")));
  EXPECT_TRUE(fs::exists(usr() / "share/icons/hicolor/scalable/apps" /
                         (entryValue(entry, group, "Icon") + ".svg")));
  EXPECT_EQ(entryValue(entry, group, "MimeType").find("inode/directory"), std::string::npos);
  std::string output;
  EXPECT_EQ(shell("desktop-file-validate " + shellQuoted(entry), &output), 0) << output;

  const fs::path action = usr() / "share/nemo/actions/morvane.nemo_action";
  EXPECT_EQ(entryValue(action, "Nemo Action", "Exec"), "morvane %F");
  EXPECT_TRUE(fs::exists(usr() / "share/icons/hicolor/scalable/apps" /
                         (entryValue(action, "Nemo Action", "Icon-Name") + ".svg")));
}

TEST_F(DebianPackage, MetainfoDescribesTheEntryAndThisVersion) {
  const fs::path metainfo = usr() / "share/metainfo/" MORVANE_APP_ID ".metainfo.xml";
  const std::string text = readFile(metainfo);
  EXPECT_NE(text.find("<id>" MORVANE_APP_ID "</id>"), std::string::npos);
  EXPECT_NE(text.find("<launchable type=\"desktop-id\">" MORVANE_APP_ID ".desktop</launchable>"),
            std::string::npos);
  std::smatch newest;
  ASSERT_TRUE(std::regex_search(text, newest, std::regex("<release version=\"([^\"]+)\"")));
  EXPECT_EQ(newest[1], MORVANE_VERSION) << "the newest release entry names this version";
  EXPECT_NE(text.find("<summary xml:lang=\"de\">"), std::string::npos);
  std::string output;
  EXPECT_EQ(shell("appstreamcli validate --no-net " + shellQuoted(metainfo), &output), 0) << output;
}

// The options a program's --help names ("--target", "-h").
std::set<std::string> optionsOf(const std::string& help) {
  std::set<std::string> options;
  const std::regex option("(^|[ ,\\[])(--?[a-z][a-z-]*)");
  for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it) {
    options.insert((*it)[2]);
  }
  return options;
}

// How a man page writes an option: each dash as \-.
std::string roff(const std::string& option) {
  std::string text;
  for (char c : option) text += c == '-' ? std::string("\\-") : std::string(1, c);
  return text;
}

// (morvane-cli --version starts a worker: see UnpackedAnywhereTheCliFindsItsWorker.)
TEST_F(DebianPackage, ProgramsRunAndTheirManPagesKnowEveryOption) {
  std::string version;
  ASSERT_EQ(shell(shellQuoted(usr() / "bin/morvane") + " --version", &version), 0) << version;
  EXPECT_EQ(version, "Morvane " MORVANE_VERSION "\n");
  for (const std::string program : {"morvane", "morvane-cli"}) {
    std::string help, manual;
    ASSERT_EQ(shell(shellQuoted(usr() / "bin" / program) + " --help", &help), 0) << help;
    ASSERT_EQ(shell("zcat " + shellQuoted(usr() / "share/man/man1" / (program + ".1.gz")), &manual),
              0);
    EXPECT_NE(manual.find("\"Morvane " MORVANE_VERSION "\""), std::string::npos);
    const std::set<std::string> options = optionsOf(help);
    EXPECT_GE(options.size(), program == "morvane" ? 4u : 15u) << help;
    if (program == "morvane-cli") {
      EXPECT_TRUE(options.contains("--log")) << help;
    }
    for (const std::string& name : options) {
      EXPECT_NE(manual.find(roff(name)), std::string::npos) << name << " in " << program << ".1";
    }
  }
}

// The completion knows every option, and completes as bash runs it:
// options, and only folders for --target.
TEST_F(DebianPackage, CompletionKnowsEveryOption) {
  std::string help, output;
  ASSERT_EQ(shell(shellQuoted(usr() / "bin/morvane-cli") + " --help", &help), 0) << help;
  const fs::path completion = usr() / "share/bash-completion/completions/morvane-cli";
  const std::string script = readFile(completion);
  for (const std::string& name : optionsOf(help)) {
    EXPECT_NE(script.find(name), std::string::npos) << name << " in the completion";
  }
  testing::TempDir here;
  here.mkdir("Folder");
  here.write("file.docx");
  const std::string complete =
      "cd " + shellQuoted(here.path()) +
      " && bash -c 'source /usr/share/bash-completion/bash_completion && source \"$0\" && "
      "COMP_WORDS=(morvane-cli \"$1\" \"$2\"); COMP_CWORD=2; "
      "COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE}; "
      "_morvane_cli morvane-cli \"$2\" \"$1\"; echo \"${COMPREPLY[*]}\"' " +
      shellQuoted(completion);
  ASSERT_EQ(shell(complete + " --pdf --ke", &output), 0) << output;
  EXPECT_EQ(output, "--keep-going\n");
  ASSERT_EQ(shell(complete + " --target ''", &output), 0) << output;
  EXPECT_EQ(output, "Folder\n");
  ASSERT_EQ(shell(complete + " --pdf ''", &output), 0) << output;
  EXPECT_EQ(output, "Folder file.docx\n");
}

TEST_F(DebianPackage, WindowFindsItsTranslations) {
  const QString programs = QString::fromStdString((usr() / "bin").string());
  const QString folder = translationFolders(programs).first();
  EXPECT_EQ(folder.toStdString(), (usr() / "share/morvane/translations").string());
  QTranslator german;
  ASSERT_TRUE(german.load(QLocale(QLocale::German, QLocale::Germany), "morvane", "_", folder));
  EXPECT_EQ(german.translate("morvane::SideBarView", "Run", "Button that starts the conversion"),
            "Konvertieren");
}

TEST_F(DebianPackage, UnpackedAnywhereTheCliFindsItsWorker) {
  if (!lookupIsProvable("/usr/libexec/morvane/morvane-office")) {
    GTEST_SKIP() << "Morvane is installed in /usr: it would hide a missed lookup";
  }
  std::string output;
  ASSERT_EQ(versionOf(usr() / "bin/morvane-cli", dir_->path() / "run", &output), 0) << output;
  EXPECT_NE(output.find(MORVANE_VERSION), std::string::npos) << output;
  expectInstalledWorker(output, usr());
}

}  // namespace
}  // namespace morvane
