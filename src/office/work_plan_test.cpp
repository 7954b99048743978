#include "office/work_plan.h"

#include <gtest/gtest.h>

#include "testing/engine_fixture.h"

namespace morvane {
namespace {

std::string block(const std::string& app, const std::string& body) {
  return "tell application \"/Applications/" + app + ".app\"\n" + body + "end tell\n";
}

std::string document(const std::string& name, const std::string& targets = "") {
  return "  activate\n  open POSIX file \"/In/" + name + "\"\n" + targets + "  close document 1\n";
}

TEST(WorkPlanTest, PlansTheDocumentsOfEveryBlockInScriptOrder) {
  const std::string pdf = "  export document 1 to POSIX file \"/Out/x.pdf\" as PDF\n";
  const std::string text =
      block("Pages", document("a.docx", pdf + "  save document 1 in POSIX file \"/Out/a.pages\"\n") +
                         document("b.docx") + "  quit\n") +
      block("Numbers", "  open POSIX file \"/In/c.xlsx\"\n" + pdf + "  close document 1\n");
  WorkPlan plan;
  ASSERT_TRUE(WorkPlan::parse(text, &plan).ok());
  ASSERT_EQ(plan.documents().size(), 3u);
  EXPECT_EQ(plan.documents()[0].path(), "/In/a.docx");
  EXPECT_EQ(plan.documents()[0].first, 0u);
  EXPECT_EQ(plan.documents()[0].end, 5u);
  EXPECT_EQ(plan.documents()[1].path(), "/In/b.docx");
  EXPECT_EQ(plan.documents()[1].end, 8u);
  EXPECT_EQ(plan.documents()[2].block->application, "Numbers");
  EXPECT_EQ(plan.documents()[2].path(), "/In/c.xlsx");  // no activate before it
  ASSERT_EQ(plan.quits().size(), 1u);  // the Numbers block has none
  EXPECT_EQ(plan.quits()[0].after, 2u);
  EXPECT_EQ(plan.quits()[0].statement->line, 10);
  EXPECT_EQ(plan.statementCount(), 12u);

  // Moved, the plan still points into its own blocks.
  WorkPlan moved = std::move(plan);
  EXPECT_EQ(moved.documents()[2].block, &moved.blocks()[1]);
  ASSERT_TRUE(WorkPlan::parse("", &moved).ok());
  EXPECT_TRUE(moved.documents().empty());
}

// What the parser reads but cannot plan is refused, naming the line and
// the statement, or the block that opens no document.
TEST(WorkPlanTest, RefusesWhatItCannotPlanNamingTheStatement) {
  const std::string pdf = "  export document 1 to POSIX file \"/Out/x.pdf\" as PDF\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {block("Pages", "  activate\n  quit\n"), "line 3: expected an open after activate: quit"},
      {block("Pages", "  activate\n"), "line 2: no document is opened after it: activate"},
      {block("Pages", pdf), "line 2: no document is open: " + pdf.substr(2, pdf.size() - 3)},
      {block("Pages", "  close document 1\n"), "line 2: no document is open: close document 1"},
      {block("Pages", "  open POSIX file \"/a\"\n" + pdf),
       "line 2: this document is never closed: open POSIX file \"/a\""},
      {block("Pages", "  open POSIX file \"/a\"\n  open POSIX file \"/b\"\n"),
       "line 3: a document is already open; close it first: open POSIX file \"/b\""},
      {block("Pages", "  open POSIX file \"/a\"\n  quit\n"),
       "line 3: the open document was not closed before: quit"},
      {block("Pages", document("a") + "  quit\n  quit\n"), "line 6: nothing may follow quit: quit"},
      {block("Pages", document("a") + "  quit\n" + document("b")),
       "line 6: nothing may follow quit: activate"},
      {block("Keynote", "  quit\n"), "line 1: the tell block of Keynote opens no document"},
      {block("Pages", document("a")) + block("Numbers", ""),
       "line 6: the tell block of Numbers opens no document"},
      {block("Pages", "  delete document 1\n"), "line 2: unknown statement: delete document 1"},
  };
  for (const auto& [text, expected] : cases) {
    WorkPlan plan;
    const Status s = WorkPlan::parse(text, &plan);
    ASSERT_FALSE(s.ok()) << text;
    EXPECT_EQ(s.message(), expected) << text;
  }
}

// Every script the engine composes is planned: documents with any number
// of exports and saves, of several applications, each block ending in quit.
using EngineScriptPlanTest = testing::EngineFixture;

TEST_F(EngineScriptPlanTest, EveryScriptTheEngineComposesIsPlanned) {
  options_.setTargetFolder(tmp_.path() / "Out");
  options_.setOfficeExport(true);
  options_.setIworkExport(true);
  options_.setPdfExport(true);
  for (const char* name : {"In/a.docx", "In/b.xlsx", "In/c.pptx", "In/d.docx", "In/e.pages",
                           "In/f.numbers", "In/g.key", "In/h \"q\" \\.docx"}) {
    runner().planConversion(entry(tmp_.write(name)));
  }
  runner().runConversions();
  WorkPlan plan;
  const Status s = WorkPlan::parse(createdScript(), &plan);
  ASSERT_TRUE(s.ok()) << s.message() << "\n" << createdScript();
  std::size_t opens = 0;
  for (std::size_t at = 0; (at = createdScript().find("\n  open POSIX file ", at)) != std::string::npos;
       ++at) {
    ++opens;
  }
  EXPECT_GE(opens, 5u) << createdScript();
  EXPECT_EQ(plan.documents().size(), opens);
  EXPECT_EQ(plan.quits().size(), plan.blocks().size());
}

}  // namespace
}  // namespace morvane
