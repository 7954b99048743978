// The values check, end to end: morvane-cli converts every real Numbers
// document of the shared numbers-modern samples in one run, and SheetJS (an
// independent reader, installed by scripts/sheetjs) reads each document and
// our xlsx of it; src/testing/numbers_values.js compares every value the
// author saw, by position within each table. Without SheetJS the tests fail:
// a check that silently goes away would let values go unseen.
#include <google/protobuf/io/coded_stream.h>
#include <google/protobuf/io/zero_copy_stream_impl_lite.h>
#include <google/protobuf/unknown_field_set.h>
#include <gtest/gtest.h>
#include <snappy.h>
#include <zip.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "office/iwork_package.h"
#include "testing/command_output.h"
#include "testing/fixtures.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::commandOutput;

// Differences the check may see, each with its reason: only cells whose
// formula is volatile (NOW, TODAY, RAND...) and so shows the day of the
// conversion. None of the samples holds one today.
struct AllowedDifference {
  const char* document;  // file name of the sample
  const char* cell;      // "TABLE!A1", TABLE as SheetJS names it
  const char* reason;
};
const std::vector<AllowedDifference> kAllowedDifferences = {};

// The samples that are broken on purpose (see the samples' README).
const std::set<std::string> kBrokenSamples = {"badzipfile.numbers", "invalid.numbers",
                                              "invalid-ver.numbers"};

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// The folder that holds SheetJS's node_modules: MORVANE_SHEETJS_DIR, else
// what scripts/sheetjs reports; empty when there is none.
fs::path sheetjsDir() {
  if (const char* dir = std::getenv("MORVANE_SHEETJS_DIR"); dir && *dir) return dir;
  std::string printed = commandOutput("'" MORVANE_SOURCE_DIR "/scripts/sheetjs' --print-dir 2>/dev/null");
  while (!printed.empty() && (printed.back() == '\n' || printed.back() == '\r')) printed.pop_back();
  return printed;
}

bool sheetjsIsThere(const fs::path& dir) {
  return !dir.empty() && fs::exists(dir / "xlsx" / "package.json");
}

struct Difference {
  std::string cell;  // TABLE!A1
  std::string kind;
  std::string line;  // as the check printed it
};

struct DocumentValues {
  bool readable = false;
  std::string unreadable;
  long compared = 0, kept = 0, errors = 0;
  std::string mismatch;
  std::vector<Difference> differences;
};

// What the check said of each document (by file name), and what was said
// on the way.
struct ValuesRun {
  testing::TempDir dir;
  std::vector<std::string> documents;
  std::map<std::string, DocumentValues> values;
  std::string messages;
};

std::map<std::string, DocumentValues> parseCheck(const std::string& output) {
  static const std::regex document(
      R"(^document (.*) compared (\d+) kept (\d+) errors (\d+) tables \d+( mismatch (.*))?$)");
  static const std::regex unreadable(R"(^document (.*) unreadable (.*)$)");
  static const std::regex difference(R"(^diff (.*![A-Z]+[0-9]+) (\w+) author=.*$)");
  std::map<std::string, DocumentValues> values;
  DocumentValues* current = nullptr;
  std::istringstream lines(output);
  std::smatch m;
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_match(line, m, document)) {
      current = &values[fs::path(m[1].str()).filename().string()];
      current->readable = true;
      current->compared = std::stol(m[2].str());
      current->kept = std::stol(m[3].str());
      current->errors = std::stol(m[4].str());
      current->mismatch = m[6].str();
    } else if (std::regex_match(line, m, unreadable)) {
      current = &values[fs::path(m[1].str()).filename().string()];
      current->unreadable = m[2].str();
    } else if (current && std::regex_match(line, m, difference)) {
      current->differences.push_back({m[1].str(), m[2].str(), line});
    }
  }
  return values;
}

const ValuesRun& checkedSamples(const fs::path& samples, const fs::path& sheetjs) {
  static std::unique_ptr<ValuesRun> run;  // its folder goes at exit
  static std::once_flag once;
  std::call_once(once, [&] {
    run = std::make_unique<ValuesRun>();
    const fs::path in = run->dir.mkdir("in");
    const fs::path out = run->dir.path() / "out";
    for (const auto& e : fs::directory_iterator(samples)) {
      const std::string name = e.path().filename().string();
      if (e.path().extension() != ".numbers" || kBrokenSamples.count(name)) continue;
      fs::copy(e.path(), in / name, fs::copy_options::recursive);
      run->documents.push_back(name);
    }
    run->messages = commandOutput("'" MORVANE_TEST_CLI "' --office --keep-going --yes --target " +
                                  quoted(out) + " " + quoted(in) + " 2>&1");
    std::string command = "NODE_PATH=" + quoted(sheetjs) + " node '" MORVANE_SOURCE_DIR
                          "/src/testing/numbers_values.js'";
    for (const std::string& name : run->documents) {
      command += " " + quoted(in / name) + " " +
                 quoted(out / (fs::path(name).stem().string() + ".xlsx"));
    }
    const std::string check = commandOutput(command + " 2>&1");
    run->values = parseCheck(check);
    run->messages += "\nthe values check said:\n" + check.substr(0, 4000);
  });
  return *run;
}

bool allowed(const std::string& document, const Difference& d) {
  for (const AllowedDifference& a : kAllowedDifferences) {
    if (document == a.document && d.cell == a.cell) return true;
  }
  return false;
}

class NumbersValuesTest : public ::testing::Test {
 protected:
  // The check's run over every real sample; fails the test without SheetJS.
  const ValuesRun* checked(const fs::path& samples) {
    const fs::path sheetjs = sheetjsDir();
    if (!sheetjsIsThere(sheetjs)) {
      ADD_FAILURE() << "SheetJS is missing (looked in \"" << sheetjs.string()
                    << "\"): run scripts/sheetjs (scripts/setup does), or set MORVANE_SHEETJS_DIR "
                       "to the node_modules folder that holds xlsx";
      return nullptr;
    }
    const ValuesRun& run = checkedSamples(samples, sheetjs);
    EXPECT_FALSE(run.documents.empty()) << "no Numbers documents in " << samples;
    return &run;
  }

  // The document's values as the check saw them; fails when it saw none.
  static const DocumentValues* valuesOf(const ValuesRun& run, const std::string& name) {
    const auto it = run.values.find(name);
    if (it == run.values.end()) {
      ADD_FAILURE() << name << ": the check said nothing of it; " << run.messages;
      return nullptr;
    }
    EXPECT_TRUE(it->second.readable) << name << ": " << it->second.unreadable << "\n" << run.messages;
    EXPECT_EQ(it->second.mismatch, "") << name;
    return it->second.readable ? &it->second : nullptr;
  }

  static std::string someDifferences(const DocumentValues& v, const std::string& kind = "") {
    std::string listed;
    int n = 0;
    for (const Difference& d : v.differences) {
      if (!kind.empty() && d.kind != kind) continue;
      if (++n > 12) return listed + "  ...\n";
      listed += "  " + d.line + "\n";
    }
    return listed;
  }
};

TEST_F(NumbersValuesTest, EveryDocumentKeepsItsValues) {
  MORVANE_FIXTURES_OR_SKIP(samples, "numbers-modern");
  const ValuesRun* run = checked(samples);
  if (!run) return;
  for (const std::string& name : run->documents) {
    const DocumentValues* v = valuesOf(*run, name);
    if (!v) continue;
    long kept = v->kept;
    for (const Difference& d : v->differences) kept += allowed(name, d) ? 1 : 0;
    EXPECT_GT(v->compared, 0) << name << ": no values compared";
    // At least 99% of the values the author saw.
    EXPECT_GE(kept * 100, v->compared * 99)
        << name << ": " << kept << " of " << v->compared << " values kept; differences:\n"
        << someDifferences(*v);
  }
}

TEST_F(NumbersValuesTest, NoValueTheAuthorSawBecomesAnError) {
  MORVANE_FIXTURES_OR_SKIP(samples, "numbers-modern");
  const ValuesRun* run = checked(samples);
  if (!run) return;
  for (const std::string& name : run->documents) {
    const DocumentValues* v = valuesOf(*run, name);
    if (!v) continue;
    EXPECT_EQ(v->errors, 0) << name << ": values that became errors:\n" << someDifferences(*v, "error");
  }
}

TEST_F(NumbersValuesTest, TheCheckSeesValuesThatDiffer) {
  MORVANE_FIXTURES_OR_SKIP(samples, "numbers-modern");
  const fs::path sheetjs = sheetjsDir();
  ASSERT_TRUE(sheetjsIsThere(sheetjs)) << "SheetJS is missing: run scripts/sheetjs";
  // One document against the xlsx of another: few values in the same places.
  const ValuesRun& run = checkedSamples(samples, sheetjs);
  const fs::path in = run.dir.path() / "in", out = run.dir.path() / "out";
  ASSERT_TRUE(fs::exists(out / "issue-3.xlsx")) << run.messages;
  const std::string check = commandOutput("NODE_PATH=" + quoted(sheetjs) + " node '" MORVANE_SOURCE_DIR
                                          "/src/testing/numbers_values.js' " +
                                          quoted(in / "format-1.numbers") + " " + quoted(out / "issue-3.xlsx"));
  const auto values = parseCheck(check);
  ASSERT_EQ(values.count("format-1.numbers"), 1u) << check;
  const DocumentValues& v = values.at("format-1.numbers");
  EXPECT_EQ(v.compared, 45) << check;
  EXPECT_LT(v.kept, 10) << check;
  EXPECT_EQ(static_cast<long>(v.differences.size()), v.compared - v.kept);
}

// Documents written by another tool: SheetJS writes Numbers files (values
// only: numbers, text, booleans; one table of at most A1:D50) that Numbers
// opens. Each holds numbers of many digits, text that looks like numbers,
// and booleans.
class OtherToolsNumbersTest : public NumbersValuesTest {
 protected:
  // Writes `name`.numbers with SheetJS from rows given as a JavaScript
  // array literal; fails the test and returns "" when SheetJS cannot.
  fs::path writeWithSheetjs(const fs::path& sheetjs, const std::string& name, const std::string& rows) {
    return runWriter(sheetjs, name,
                     "const XLSX = require('xlsx');\n"
                     "const wb = XLSX.utils.book_new();\n"
                     "XLSX.utils.book_append_sheet(wb, XLSX.utils.aoa_to_sheet(" + rows + "), 'Sheet 1');\n"
                     "XLSX.writeFile(wb, process.argv[2], {bookType: 'numbers', compression: true,\n"
                     "                                     numbers: require('xlsx/dist/xlsx.zahl')});\n");
  }

  // Runs the JavaScript `program` with SheetJS, which writes in/`name`.numbers
  // (its first argument); fails the test and returns "" when it does not.
  fs::path runWriter(const fs::path& sheetjs, const std::string& name, const std::string& program) {
    const fs::path script = tmp_.write(name + ".js", program);
    const fs::path document = tmp_.path() / "in" / (name + ".numbers");
    fs::create_directories(document.parent_path());
    const std::string said = commandOutput("NODE_PATH=" + quoted(sheetjs) + " node " + quoted(script) + " " +
                                           quoted(document) + " 2>&1");
    if (!fs::exists(document)) {
      ADD_FAILURE() << "SheetJS wrote no " << name << ".numbers: " << said;
      return {};
    }
    return document;
  }

  // Converts every document of in/ to out/; returns what morvane-cli said.
  std::string convert() {
    return commandOutput("'" MORVANE_TEST_CLI "' --office --keep-going --yes --target " +
                         quoted(tmp_.path() / "out") + " " + quoted(tmp_.path() / "in") + " 2>&1");
  }

  fs::path xlsxOf(const fs::path& document) {
    return tmp_.path() / "out" / (document.stem().string() + ".xlsx");
  }

  // The numbers our xlsx holds at the given cells of its first sheet, as
  // SheetJS reads them, with every digit.
  std::map<std::string, double> numbersAt(const fs::path& sheetjs, const fs::path& xlsx,
                                          const std::vector<std::string>& cells) {
    std::string list;
    for (const std::string& c : cells) list += (list.empty() ? "'" : ",'") + c + "'";
    const fs::path script = tmp_.write("numbers.js",
        "const XLSX = require('xlsx');\n"
        "const wb = XLSX.readFile(process.argv[2]);\n"
        "const ws = wb.Sheets[wb.SheetNames[0]];\n"
        "for (const c of [" + list + "]) if (ws[c] && ws[c].t === 'n')\n"
        "  console.log(c + ' ' + ws[c].v.toPrecision(17));\n");
    std::map<std::string, double> numbers;
    std::istringstream lines(commandOutput("NODE_PATH=" + quoted(sheetjs) + " node " + quoted(script) + " " +
                                           quoted(xlsx) + " 2>&1"));
    std::string cell, number;
    while (lines >> cell >> number) numbers[cell] = std::strtod(number.c_str(), nullptr);
    return numbers;
  }

  testing::TempDir tmp_;
};

TEST_F(OtherToolsNumbersTest, DocumentsWrittenBySheetjsKeepEveryValue) {
  const fs::path sheetjs = sheetjsDir();
  ASSERT_TRUE(sheetjsIsThere(sheetjs)) << "SheetJS is missing: run scripts/sheetjs";
  const fs::path document = writeWithSheetjs(sheetjs, "written-by-sheetjs",
      "[['Name', 'Value', 'Flag', 'Looks like a number'],"
      " ['pi', 3.141592653589793, true, '00123'],"
      " ['small', 0.0645669291338583, false, '1e5'],"
      " ['large', 123456789012.345, true, '12%'],"
      " ['tiny', 2.5e-7, false, '3.10'],"
      " ['seventh', 1 / 7, true, ' 42 ']]");
  if (document.empty()) return;
  const std::string said = convert();
  ASSERT_TRUE(fs::exists(xlsxOf(document))) << "not accepted or not converted: " << said;

  const std::string check = commandOutput("NODE_PATH=" + quoted(sheetjs) + " node '" MORVANE_SOURCE_DIR
                                          "/src/testing/numbers_values.js' " + quoted(document) + " " +
                                          quoted(xlsxOf(document)) + " 2>&1");
  const auto values = parseCheck(check);
  ASSERT_EQ(values.count(document.filename().string()), 1u) << check;
  const DocumentValues& v = values.at(document.filename().string());
  EXPECT_EQ(v.compared, 24) << check;  // the reader finds every cell
  EXPECT_EQ(v.kept, v.compared) << check;
  EXPECT_EQ(v.errors, 0) << check;
}

TEST_F(OtherToolsNumbersTest, NumbersKeepTheirDigits) {
  const fs::path sheetjs = sheetjsDir();
  ASSERT_TRUE(sheetjsIsThere(sheetjs)) << "SheetJS is missing: run scripts/sheetjs";
  // Eight or nine digits were all that arrived, which the values check at
  // nine digits sees only in part: here every digit counts.
  const std::map<std::string, double> written = {
      {"A1", 0.0645669291338583}, {"A2", 123456789012.345},  {"A3", 1.0 / 7},
      {"A4", 2.5e-7},             {"A5", 98765.4321098765},  {"A6", 1e-12},
      {"A7", 1234567890123456.0}, {"A8", 0.30000000000000004}};
  std::string rows = "[";
  for (const auto& [cell, number] : written) {
    std::ostringstream literal;
    literal.precision(17);
    literal << number;
    rows += "[" + literal.str() + "],";
  }
  rows += "]";
  const fs::path document = writeWithSheetjs(sheetjs, "digits", rows);
  if (document.empty()) return;
  const std::string said = convert();
  ASSERT_TRUE(fs::exists(xlsxOf(document))) << said;
  std::vector<std::string> cells;
  for (const auto& entry : written) cells.push_back(entry.first);
  const std::map<std::string, double> ours = numbersAt(sheetjs, xlsxOf(document), cells);
  for (const auto& [cell, number] : written) {
    ASSERT_EQ(ours.count(cell), 1u) << cell << " is no number in our xlsx";
    // LibreOffice writes the numbers of an xlsx with 15 significant digits.
    EXPECT_NEAR(ours.at(cell), number, std::abs(number) * 1e-14) << cell;
  }
}

// Documents with durations: SheetJS's writer writes numbers, text and
// booleans only; taught here to write Numbers' duration cells too (cell type
// 7, the seconds as a double), as Numbers stores them.
class DurationsNumbersTest : public OtherToolsNumbersTest {
 protected:
  // Writes `name`.numbers from rows given as a JavaScript array literal, in
  // which a string "duration:SECONDS" stands for a duration cell.
  fs::path writeWithDurations(const fs::path& sheetjs, const std::string& name, const std::string& rows) {
    return runWriter(sheetjs, name, R"JS(
const fs = require('fs'), Module = require('module'), path = require('path');
const file = require.resolve('xlsx/xlsx.js');
let src = fs.readFileSync(file, 'utf8');
const patch = (from, to) => {
  if (!src.includes(from)) throw new Error('SheetJS is not the version this test knows: ' + from);
  src = src.replace(from, to);
};
for (const [type, slot, flag] of [['out[1] = 6;', 1, 2], ['out[2] = 6;', 2, 32]])
  patch('    case "b":\n      ' + type, '    case "u":\n      out[' + slot + '] = 7;\n' +
        '      dv.setFloat64(l, cell.v, true);\n      flags |= ' + flag + ';\n      l += 8;\n      break;\n' +
        '    case "b":\n      ' + type);
patch('    switch (typeof data[C]) {\n      case "string":',
      '    if (typeof data[C] == "string" && data[C].startsWith("duration:")) {\n' +
      '      celload = write_new_storage({ t: "u", v: +data[C].slice(9) }, SST);\n' +
      '      _celload = write_old_storage({ t: "u", v: +data[C].slice(9) }, SST);\n' +
      '    } else\n    switch (typeof data[C]) {\n      case "string":');
const m = new Module(file, module);
m.filename = file;
m.paths = Module._nodeModulePaths(path.dirname(file));
m._compile(src, file);
const XLSX = m.exports;
const wb = XLSX.utils.book_new();
XLSX.utils.book_append_sheet(wb, XLSX.utils.aoa_to_sheet()JS" + rows + R"JS(), 'Sheet 1');
XLSX.writeFile(wb, process.argv[2], {bookType: 'numbers', compression: true,
                                     numbers: require('xlsx/dist/xlsx.zahl')});
)JS");
  }

  // The number format of each of the given cells of the first sheet, as
  // SheetJS reads it from our xlsx.
  std::map<std::string, std::string> formatsAt(const fs::path& sheetjs, const fs::path& xlsx,
                                               const std::vector<std::string>& cells) {
    std::string list;
    for (const std::string& c : cells) list += (list.empty() ? "'" : ",'") + c + "'";
    const fs::path script = tmp_.write("formats.js",
        "const XLSX = require('xlsx');\n"
        "const wb = XLSX.readFile(process.argv[2], {cellNF: true});\n"
        "const ws = wb.Sheets[wb.SheetNames[0]];\n"
        "for (const c of [" + list + "]) if (ws[c]) console.log(c + ' ' + (ws[c].z || 'General'));\n");
    std::map<std::string, std::string> formats;
    std::istringstream lines(commandOutput("NODE_PATH=" + quoted(sheetjs) + " node " + quoted(script) + " " +
                                           quoted(xlsx) + " 2>&1"));
    for (std::string line; std::getline(lines, line);) {
      const auto space = line.find(' ');
      if (space != std::string::npos) formats[line.substr(0, space)] = line.substr(space + 1);
    }
    return formats;
  }
};

TEST_F(DurationsNumbersTest, DurationsKeepTheirLengthAndShowAsDurations) {
  const fs::path sheetjs = sheetjsDir();
  ASSERT_TRUE(sheetjsIsThere(sheetjs)) << "SheetJS is missing: run scripts/sheetjs";
  // An hour and a half; a day, two hours, three minutes and 4.5 seconds; a
  // quarter of a second; an hour less. They arrived as times of day: whole
  // seconds of the last day, the sign lost, "hh:mm:ss AM/PM".
  const std::map<std::string, double> seconds = {
      {"B1", 5400}, {"B2", 93784.5}, {"B3", 0.25}, {"B4", -3600}};
  const fs::path document = writeWithDurations(sheetjs, "durations",
      "[['short', 'duration:5400', 2.5, true], ['long', 'duration:93784.5', 1, false],"
      " ['tiny', 'duration:0.25', 0, true], ['negative', 'duration:-3600', -1, false]]");
  if (document.empty()) return;
  const std::string said = convert();
  ASSERT_TRUE(fs::exists(xlsxOf(document))) << said;

  std::vector<std::string> cells;
  for (const auto& entry : seconds) cells.push_back(entry.first);
  const std::map<std::string, double> ours = numbersAt(sheetjs, xlsxOf(document), cells);
  const std::map<std::string, std::string> formats = formatsAt(sheetjs, xlsxOf(document), cells);
  for (const auto& [cell, length] : seconds) {
    ASSERT_EQ(ours.count(cell), 1u) << cell << " is no number in our xlsx";
    EXPECT_NEAR(ours.at(cell), length / 86400, std::abs(length / 86400) * 1e-14) << cell;  // days, as Excel
    ASSERT_EQ(formats.count(cell), 1u) << cell;
    // hours that go on past a day, minutes and seconds; no time of day
    EXPECT_EQ(formats.at(cell), "[h]:mm:ss") << cell;
  }
  // The numbers beside them stay numbers without a format of time.
  const std::map<std::string, std::string> plain = formatsAt(sheetjs, xlsxOf(document), {"C1", "C2"});
  EXPECT_EQ(plain.count("C1") ? plain.at("C1") : "", "General");

  // Checkboxes arrive as booleans: t="b" in the sheet's XML.
  const std::string sheet =
      commandOutput("unzip -p " + quoted(xlsxOf(document)) + " 'xl/worksheets/sheet1.xml' 2>/dev/null");
  for (const char* cell : {"D1", "D2", "D3", "D4"}) {
    const std::regex booleanCell(std::string("<c r=\"") + cell + "\"[^>]*t=\"b\"");
    EXPECT_TRUE(std::regex_search(sheet, booleanCell)) << cell << " is no boolean:\n" << sheet.substr(0, 3000);
  }
}

TEST_F(NumbersValuesTest, FractionsOfASecondAreNoText) {
  MORVANE_FIXTURES_OR_SKIP(samples, "numbers-modern");
  const ValuesRun* run = checked(samples);
  if (!run) return;
  // test-custom-formats shows times as "h:mm:ss.SS"; the letters arrived as
  // text ("8:22:11.SS").
  const fs::path xlsx = run->dir.path() / "out" / "test-custom-formats.xlsx";
  ASSERT_TRUE(fs::exists(xlsx)) << run->messages;
  const std::string styles = commandOutput("unzip -p " + quoted(xlsx) + " xl/styles.xml 2>/dev/null");
  EXPECT_NE(styles.find("formatCode=\"h:mm:ss\""), std::string::npos) << styles.substr(0, 3000);
  EXPECT_EQ(styles.find(".S"), std::string::npos) << styles.substr(0, 3000);
}

TEST_F(NumbersValuesTest, CustomNumberFormatsShowAsInNumbers) {
  MORVANE_FIXTURES_OR_SKIP(samples, "numbers-modern");
  const ValuesRun* run = checked(samples);
  if (!run) return;
  // test-custom-formats, sheet "Numbers": column C shows one value under one
  // of Numbers' custom formats, column D the text Numbers showed. Custom
  // formats arrived as General ("0.23" where Numbers showed "2/9").
  const fs::path xlsx = run->dir.path() / "out" / "test-custom-formats.xlsx";
  ASSERT_TRUE(fs::exists(xlsx)) << run->messages;
  const fs::path script = run->dir.path() / "shown.js";
  {
    std::ofstream js(script);
    js << "const XLSX = require('xlsx');\n"
          "const wb = XLSX.readFile(process.argv[2], {cellNF: true});\n"
          "const ws = wb.Sheets[wb.SheetNames[1]];\n"
          "const flat = s => String(s).replace(/\\s+/g, ' ').trim();\n"
          "for (let r = 2; r <= 113; ++r) {\n"
          "  const c = ws['C' + r], d = ws['D' + r];\n"
          "  if (c && d) console.log('C' + r + '\\t' + flat(c.w === undefined ? '(none)' : c.w) + '\\t' +\n"
          "                          (c.z || 'General') + '\\t' + flat(d.v));\n"
          "}\n";
  }
  std::map<std::string, std::pair<std::string, std::string>> shown;  // cell: ours, Numbers'
  std::map<std::string, std::string> formats;
  std::istringstream lines(commandOutput("NODE_PATH=" + quoted(sheetjsDir()) + " node " + quoted(script) + " " +
                                         quoted(xlsx) + " 2>&1"));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string cell, ours, format, numbers;
    std::getline(fields, cell, '\t');
    std::getline(fields, ours, '\t');
    std::getline(fields, format, '\t');
    std::getline(fields, numbers);
    shown[cell] = {ours, numbers};
    formats[cell] = format;
  }
  ASSERT_FALSE(shown.empty()) << "SheetJS read nothing of " << xlsx;
  // As SheetJS shows them (white space collapsed): fractions of up to one and
  // two digits, zeros and decimals, grouping, percent, exponent, text before
  // and after the number.
  for (const char* cell : {"C2", "C3", "C4", "C5", "C7", "C9", "C38", "C39", "C40", "C41", "C43", "C44",
                           "C45", "C56", "C57", "C58", "C59", "C67", "C68", "C69", "C70", "C71", "C72",
                           "C73", "C74", "C86", "C91", "C102", "C110"}) {
    ASSERT_EQ(shown.count(cell), 1u) << cell;
    EXPECT_EQ(shown.at(cell).first, shown.at(cell).second) << cell << " under " << formats.at(cell);
  }
  // Zeros with grouping, which SheetJS does not show: the format Excel shows them with.
  EXPECT_EQ(formats["C50"], "000,000,000");
  EXPECT_EQ(formats["C60"], "00,000");
  EXPECT_EQ(formats["C75"], "000,000,000.0000000");
  // A currency code before the number, text after it.
  EXPECT_NE(formats["C103"].find("CHF"), std::string::npos) << formats["C103"];
  EXPECT_NE(formats["C103"].find("suffix"), std::string::npos) << formats["C103"];
}

TEST_F(NumbersValuesTest, HeaderRowsRepeatOnEveryPrintedPage) {
  MORVANE_FIXTURES_OR_SKIP(samples, "numbers-modern");
  const ValuesRun* run = checked(samples);
  if (!run) return;
  // The header rows of a table are its sheet's print titles, as in Numbers,
  // where they are repeated on each page: issue-102-v14.4 has two, the
  // source table of test-pivot one and its pivot table two. They arrived as
  // plain rows and the xlsx had no print titles.
  const std::map<std::string, std::map<std::string, std::string>> expected = {
      {"issue-102-v14.4", {{"0", "$1:$2"}}},
      {"test-pivot", {{"0", "$1:$1"}, {"1", "$1:$2"}}},
  };
  static const std::regex definedName(R"(<definedName( [^>]*)>([^<]*)</definedName>)");
  static const std::regex sheetId(R"#( localSheetId="(\d+)")#");
  for (const auto& [document, rowsOfSheet] : expected) {
    const fs::path xlsx = run->dir.path() / "out" / (document + ".xlsx");
    ASSERT_TRUE(fs::exists(xlsx)) << run->messages;
    const std::string workbook = commandOutput("unzip -p " + quoted(xlsx) + " xl/workbook.xml 2>/dev/null");
    std::map<std::string, std::string> titles;  // sheet index: rows, as "$1:$2"
    for (auto it = std::sregex_iterator(workbook.begin(), workbook.end(), definedName);
         it != std::sregex_iterator(); ++it) {
      const std::string attributes = (*it)[1].str();
      std::smatch id;
      if (attributes.find(" name=\"_xlnm.Print_Titles\"") == std::string::npos ||
          !std::regex_search(attributes, id, sheetId))
        continue;
      const std::string range = (*it)[2].str();
      titles[id[1].str()] = range.substr(range.rfind('!') + 1);
    }
    EXPECT_EQ(titles, rowsOfSheet) << document << ":\n" << workbook.substr(0, 3000);
  }
}

TEST_F(NumbersValuesTest, HeaderColumnsRepeatOnEveryPrintedPage) {
  MORVANE_FIXTURES_OR_SKIP(samples, "numbers-modern");
  const ValuesRun* run = checked(samples);
  if (!run) return;
  // The header columns of a table are print titles too, as its header rows:
  // issue-102-v14.4 has two, both tables of test-pivot one, format-1 one.
  // They arrived as plain columns.
  const std::map<std::string, std::map<std::string, std::string>> expected = {
      {"issue-102-v14.4", {{"0", "$A:$B"}}},
      {"test-pivot", {{"0", "$A:$A"}, {"1", "$A:$A"}}},
      {"format-1", {{"0", "$A:$A"}}},
  };
  static const std::regex definedName(R"(<definedName( [^>]*)>([^<]*)</definedName>)");
  static const std::regex sheetId(R"#( localSheetId="(\d+)")#");
  static const std::regex columns(R"(\$[A-Z]+:\$[A-Z]+)");
  for (const auto& [document, columnsOfSheet] : expected) {
    const fs::path xlsx = run->dir.path() / "out" / (document + ".xlsx");
    ASSERT_TRUE(fs::exists(xlsx)) << run->messages;
    const std::string workbook = commandOutput("unzip -p " + quoted(xlsx) + " xl/workbook.xml 2>/dev/null");
    std::map<std::string, std::string> titles;  // sheet index: columns, as "$A:$B"
    for (auto it = std::sregex_iterator(workbook.begin(), workbook.end(), definedName);
         it != std::sregex_iterator(); ++it) {
      const std::string attributes = (*it)[1].str();
      const std::string range = (*it)[2].str();
      std::smatch id, found;
      if (attributes.find(" name=\"_xlnm.Print_Titles\"") == std::string::npos ||
          !std::regex_search(attributes, id, sheetId) || !std::regex_search(range, found, columns))
        continue;
      titles[id[1].str()] = found[0].str();
    }
    EXPECT_EQ(titles, columnsOfSheet) << document << ":\n" << workbook.substr(0, 3000);
  }
}

// Documents with error cells, which none of the samples holds (Numbers
// stores them as cells of type 8, with their formula but no value): a copy
// of test-pivot.numbers is turned into one by rewriting its archives.
namespace error_cells {

using google::protobuf::UnknownField;
using google::protobuf::UnknownFieldSet;

// One object of a decoded .iwa stream: its ArchiveInfo and its payloads.
struct IwaObject {
  std::uint64_t id = 0;
  std::string info;
  std::vector<std::uint64_t> types;
  std::vector<std::string> payloads;
};

std::string varint(std::uint64_t value) {
  std::string out;
  google::protobuf::io::StringOutputStream stream(&out);
  google::protobuf::io::CodedOutputStream(&stream).WriteVarint64(value);
  return out;
}

std::vector<IwaObject> readObjects(const std::string& stream) {
  std::vector<IwaObject> objects;
  google::protobuf::io::CodedInputStream in(reinterpret_cast<const std::uint8_t*>(stream.data()),
                                            static_cast<int>(stream.size()));
  std::uint32_t size = 0;
  while (in.ReadVarint32(&size)) {
    IwaObject object;
    UnknownFieldSet info;
    if (!in.ReadString(&object.info, static_cast<int>(size)) || !info.ParseFromString(object.info)) break;
    for (int i = 0; i < info.field_count(); ++i) {
      const UnknownField& f = info.field(i);
      if (f.number() == 1 && f.type() == UnknownField::TYPE_VARINT) object.id = f.varint();
      if (f.number() != 2 || f.type() != UnknownField::TYPE_LENGTH_DELIMITED) continue;
      UnknownFieldSet message;
      message.ParseFromString(f.length_delimited());
      std::uint64_t type = 0, length = 0;
      for (int j = 0; j < message.field_count(); ++j) {
        if (message.field(j).number() == 1) type = message.field(j).varint();
        if (message.field(j).number() == 3) length = message.field(j).varint();
      }
      object.types.push_back(type);
      object.payloads.emplace_back();
      in.ReadString(&object.payloads.back(), static_cast<int>(length));
    }
    objects.push_back(std::move(object));
  }
  return objects;
}

// The stream of `objects`, their ArchiveInfos telling the payloads' new lengths.
std::string writeObjects(const std::vector<IwaObject>& objects) {
  std::string out;
  for (const IwaObject& object : objects) {
    UnknownFieldSet info;
    info.ParseFromString(object.info);
    std::size_t n = 0;
    for (int i = 0; i < info.field_count(); ++i) {
      if (info.field(i).number() != 2 || n >= object.payloads.size()) continue;
      UnknownFieldSet message;
      message.ParseFromString(info.field(i).length_delimited());
      for (int j = 0; j < message.field_count(); ++j) {
        if (message.field(j).number() == 3) message.mutable_field(j)->set_varint(object.payloads[n].size());
      }
      message.SerializeToString(info.mutable_field(i)->mutable_length_delimited());
      ++n;
    }
    std::string header;
    info.SerializeToString(&header);
    out += varint(header.size()) + header;
    for (const std::string& payload : object.payloads) out += payload;
  }
  return out;
}

std::string frame(const std::string& data) {
  std::string out;
  for (std::size_t at = 0; at < data.size(); at += 65536) {
    std::string compressed;
    snappy::Compress(data.data() + at, std::min<std::size_t>(65536, data.size() - at), &compressed);
    const std::size_t n = compressed.size();
    out += std::string{'\0', static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                       static_cast<char>((n >> 16) & 0xFF)} + compressed;
  }
  return out;
}

// The first field `number` of `message` (serialized), or nothing.
std::string fieldOf(const std::string& message, int number) {
  UnknownFieldSet set;
  set.ParseFromString(message);
  for (int i = 0; i < set.field_count(); ++i) {
    const UnknownField& f = set.field(i);
    if (f.number() != number) continue;
    return f.type() == UnknownField::TYPE_LENGTH_DELIMITED ? f.length_delimited() : varint(f.varint());
  }
  return {};
}

std::uint64_t varintOf(const std::string& message, int number) {
  const std::string bytes = fieldOf(message, number);
  google::protobuf::io::CodedInputStream in(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                            static_cast<int>(bytes.size()));
  std::uint64_t value = 0;
  in.ReadVarint64(&value);
  return value;
}

// Formula nodes: a number, an operator or other node of `type`, a function.
std::string node(std::uint64_t type) {
  UnknownFieldSet n;
  n.AddVarint(1, type);
  std::string out;
  n.SerializeToString(&out);
  return out;
}
std::string numberNode(double value) {
  UnknownFieldSet n;
  n.AddVarint(1, 17);
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  n.AddFixed64(4, bits);
  std::string out;
  n.SerializeToString(&out);
  return out;
}
std::string functionNode(std::uint64_t function, std::uint64_t arguments) {
  UnknownFieldSet n;
  n.AddVarint(1, 16);
  n.AddVarint(2, function);
  n.AddVarint(3, arguments);
  std::string out;
  n.SerializeToString(&out);
  return out;
}

// The formulas of the table "Pivot" (its list's keys) given new nodes, in
// the order Numbers stores them (operands first), and the cells whose
// formula has one of the keys in `errors` turned into error cells.
struct Rewrite {
  std::map<std::uint64_t, std::vector<std::string>> formulas;
  std::set<std::uint64_t> errors;
};

// A formula list's payload with the nodes of some of its formulas replaced.
std::string rewriteFormulas(const std::string& list, const Rewrite& rewrite) {
  UnknownFieldSet set;
  set.ParseFromString(list);
  for (int i = 0; i < set.field_count(); ++i) {
    if (set.field(i).number() != 3) continue;
    UnknownFieldSet entry;
    entry.ParseFromString(set.field(i).length_delimited());
    const auto it = rewrite.formulas.find(varintOf(set.field(i).length_delimited(), 1));
    if (it == rewrite.formulas.end()) continue;
    for (int j = 0; j < entry.field_count(); ++j) {
      if (entry.field(j).number() != 5) continue;
      UnknownFieldSet formula, nodes;
      formula.ParseFromString(entry.field(j).length_delimited());
      for (const std::string& n : it->second) *nodes.AddLengthDelimited(1) = n;
      for (int k = 0; k < formula.field_count(); ++k) {
        if (formula.field(k).number() == 1) nodes.SerializeToString(formula.mutable_field(k)->mutable_length_delimited());
      }
      formula.SerializeToString(entry.mutable_field(j)->mutable_length_delimited());
    }
    entry.SerializeToString(set.mutable_field(i)->mutable_length_delimited());
  }
  std::string out;
  set.SerializeToString(&out);
  return out;
}

// The formula of one cell of the newer storage (version 5), or 0.
std::uint32_t formulaOfCell(const std::string& storage, std::size_t at, std::size_t end) {
  if (end < at + 12) return 0;
  std::uint32_t flags = 0;
  std::memcpy(&flags, storage.data() + at + 8, 4);
  std::size_t offset = at + 12;
  for (int bit = 0; bit < 21; ++bit) {
    if (!(flags & (1u << bit))) continue;
    if (bit == 9 && offset + 4 <= end) {
      std::uint32_t id = 0;
      std::memcpy(&id, storage.data() + offset, 4);
      return id;
    }
    offset += bit == 0 ? 16 : bit <= 2 ? 8 : 4;
  }
  return 0;
}

// A tile's payload with the cells whose formula is in `errors` of type 8.
std::string markErrorCells(const std::string& tile, const std::set<std::uint64_t>& errors, int* marked) {
  UnknownFieldSet set;
  set.ParseFromString(tile);
  for (int i = 0; i < set.field_count(); ++i) {
    if (set.field(i).number() != 5) continue;
    UnknownFieldSet row;
    row.ParseFromString(set.field(i).length_delimited());
    const std::string offsets = fieldOf(set.field(i).length_delimited(), 7);
    const std::size_t unit = varintOf(set.field(i).length_delimited(), 8) ? 4 : 1;
    for (int j = 0; j < row.field_count(); ++j) {
      if (row.field(j).number() != 6) continue;
      std::string* storage = row.mutable_field(j)->mutable_length_delimited();
      std::vector<std::size_t> starts;
      for (std::size_t k = 0; k + 1 < offsets.size(); k += 2) {
        const unsigned o = static_cast<unsigned char>(offsets[k]) | static_cast<unsigned char>(offsets[k + 1]) << 8;
        if (o != 0xFFFF) starts.push_back(o * unit);
      }
      for (std::size_t k = 0; k < starts.size(); ++k) {
        const std::size_t end = k + 1 < starts.size() ? starts[k + 1] : storage->size();
        if (starts[k] + 1 < storage->size() && errors.count(formulaOfCell(*storage, starts[k], end))) {
          (*storage)[starts[k] + 1] = 8;  // the cell's type: an error
          ++*marked;
        }
      }
    }
    row.SerializeToString(set.mutable_field(i)->mutable_length_delimited());
  }
  std::string out;
  set.SerializeToString(&out);
  return out;
}

// Copies the zipped document `from` to `to`, rewriting the table "Pivot" as
// `rewrite` says; returns the number of cells made errors, -1 on failure.
int writeWithErrorCells(const fs::path& from, const fs::path& to, const Rewrite& rewrite) {
  int error = 0;
  zip_t* in = zip_open(from.c_str(), ZIP_RDONLY, &error);
  if (!in) return -1;
  std::vector<std::pair<std::string, std::string>> members;
  std::map<std::string, std::vector<IwaObject>> archives;
  for (zip_int64_t i = 0; i < zip_get_num_entries(in, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(in, static_cast<zip_uint64_t>(i), 0, &st);
    std::string data(st.size, '\0');
    zip_file_t* f = zip_fopen_index(in, static_cast<zip_uint64_t>(i), 0);
    if (!f || zip_fread(f, data.data(), st.size) != static_cast<zip_int64_t>(st.size)) return -1;
    zip_fclose(f);
    const std::string name = st.name;
    std::string decoded;
    if (name.size() > 4 && name.substr(name.size() - 4) == ".iwa" && decodeIwaStream(data, &decoded).ok())
      archives[name] = readObjects(decoded);
    members.emplace_back(name, std::move(data));
  }
  zip_close(in);

  std::map<std::uint64_t, std::pair<std::string, std::size_t>> where;  // id: archive, index
  for (const auto& [name, objects] : archives)
    for (std::size_t i = 0; i < objects.size(); ++i) where[objects[i].id] = {name, i};
  auto payloadOf = [&](std::uint64_t id, std::uint64_t type) -> std::string* {
    const auto it = where.find(id);
    if (it == where.end()) return nullptr;
    IwaObject& o = archives[it->second.first][it->second.second];
    for (std::size_t i = 0; i < o.types.size(); ++i)
      if (o.types[i] == type) return &o.payloads[i];
    return nullptr;
  };
  int marked = 0;
  std::set<std::string> changed;
  for (auto& [name, objects] : archives) {
    for (IwaObject& table : objects) {
      for (std::size_t i = 0; i < table.types.size(); ++i) {
        if (table.types[i] != 6001 || fieldOf(table.payloads[i], 8) != "Pivot") continue;
        const std::string store = fieldOf(table.payloads[i], 4);
        const std::uint64_t listId = varintOf(fieldOf(store, 6), 1);
        if (std::string* list = payloadOf(listId, 6005)) {
          *list = rewriteFormulas(*list, rewrite);
          changed.insert(where[listId].first);
        }
        UnknownFieldSet tiles;
        tiles.ParseFromString(fieldOf(store, 3));
        for (int t = 0; t < tiles.field_count(); ++t) {
          if (tiles.field(t).number() != 1) continue;
          const std::uint64_t tileId = varintOf(fieldOf(tiles.field(t).length_delimited(), 2), 1);
          if (std::string* tile = payloadOf(tileId, 6002)) {
            *tile = markErrorCells(*tile, rewrite.errors, &marked);
            changed.insert(where[tileId].first);
          }
        }
      }
    }
  }

  zip_t* out = zip_open(to.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!out) return -1;
  for (auto& [name, data] : members) {
    if (changed.count(name)) data = frame(writeObjects(archives[name]));
    zip_source_t* source = zip_source_buffer(out, data.data(), data.size(), 0);
    if (!source || zip_file_add(out, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) return -1;
  }
  return zip_close(out) == 0 ? marked : -1;
}

}  // namespace error_cells

class ErrorCellsNumbersTest : public ::testing::Test {
 protected:
  testing::TempDir tmp_;
};

TEST_F(ErrorCellsNumbersTest, ErrorCellsArriveAsExcelErrorsOfTheirKind) {
  MORVANE_FIXTURES_OR_SKIP(samples, "numbers-modern");
  const fs::path sheetjs = sheetjsDir();
  ASSERT_TRUE(sheetjsIsThere(sheetjs)) << "SheetJS is missing: run scripts/sheetjs";
  using namespace error_cells;
  // test-pivot's table "Pivot" (the second sheet of our xlsx): each of its
  // cells B3, C3, D4 and B5 has a formula of its own (keys 4, 3, 6 and 2 of
  // the table's formula list), a quotient of two cells.
  Rewrite rewrite;
  rewrite.formulas[4] = {numberNode(1), numberNode(0), node(4)};  // B3: =1/0
  rewrite.formulas[3] = {node(30)};  // C3: a reference to a cell that is gone
  rewrite.formulas[6] = {numberNode(2.5), functionNode(17, 1)};  // D4: =CEILING(2.5), Numbers' own meaning
  // B5 keeps its quotient, whose references the reader does not read.
  rewrite.errors = {4, 3, 6, 2};
  const fs::path document = tmp_.path() / "in" / "error-cells.numbers";
  fs::create_directories(document.parent_path());
  ASSERT_EQ(writeWithErrorCells(samples / "test-pivot.numbers", document, rewrite), 4);

  // SheetJS sees the four cells as errors in the document: the rewrite is what Numbers stores.
  const fs::path script = tmp_.write("errors.js",
      "const XLSX = require('xlsx');\n"
      "const wb = XLSX.readFile(process.argv[2]);\n"
      "const ws = wb.Sheets[wb.SheetNames[1]];\n"
      "console.log(Object.keys(ws).filter(c => ws[c].t === 'e').sort().join(' '));\n");
  EXPECT_EQ(commandOutput("NODE_PATH=" + quoted(sheetjs) + " node " + quoted(script) + " " + quoted(document) +
                          " 2>/dev/null"),
            "B3 B5 C3 D4\n");

  const std::string said = commandOutput("'" MORVANE_TEST_CLI "' --office --keep-going --yes --target " +
                                         quoted(tmp_.path() / "out") + " " + quoted(tmp_.path() / "in") + " 2>&1");
  const fs::path xlsx = tmp_.path() / "out" / "error-cells.xlsx";
  ASSERT_TRUE(fs::exists(xlsx)) << said;
  const std::string workbook = commandOutput("unzip -p " + quoted(xlsx) + " xl/workbook.xml 2>/dev/null");
  ASSERT_NE(workbook.find("<sheet name=\"Sheet 1_Pivot\" sheetId=\"2\""), std::string::npos) << workbook;
  const std::string sheet = commandOutput("unzip -p " + quoted(xlsx) + " xl/worksheets/sheet2.xml 2>/dev/null");
  // They arrived empty: now each is an Excel error, of its kind where the
  // formula tells it (computed again by LibreOffice), #VALUE! where not.
  const std::map<std::string, std::string> errors = {
      {"B3", "#DIV/0!"}, {"C3", "#REF!"}, {"D4", "#VALUE!"}, {"B5", "#VALUE!"}};
  for (const auto& [cell, error] : errors) {
    const std::regex errorCell("<c r=\"" + cell + "\"[^>]* t=\"e\"[^>]*>(<f[^>]*>[^<]*</f>)?<v>" + error + "</v></c>");
    EXPECT_TRUE(std::regex_search(sheet, errorCell)) << cell << " is no " << error << ":\n" << sheet.substr(0, 4000);
  }
  // The formula LibreOffice would compute otherwise stays with its cell, in a comment.
  const std::string comments = commandOutput("unzip -p " + quoted(xlsx) + " 'xl/comments*.xml' 2>/dev/null");
  EXPECT_NE(comments.find("=CEILING(2.5)"), std::string::npos) << comments.substr(0, 3000);

  // And the values check counts them as kept: an error where the author saw one.
  const std::string check = commandOutput("NODE_PATH=" + quoted(sheetjs) + " node '" MORVANE_SOURCE_DIR
                                          "/src/testing/numbers_values.js' " + quoted(document) + " " +
                                          quoted(xlsx) + " 2>&1");
  const auto values = parseCheck(check);
  ASSERT_EQ(values.count(document.filename().string()), 1u) << check;
  const DocumentValues& v = values.at(document.filename().string());
  EXPECT_GT(v.compared, 4) << check;
  EXPECT_EQ(v.kept, v.compared) << check;
}

}  // namespace
}  // namespace morvane
