#include "engine/export_formats.h"

#include <gtest/gtest.h>

#include "engine/conversion_controller.h"
#include "testing/engine_fixture.h"

namespace morvane {
namespace {

using ExportFormatsTest = testing::EngineFixture;

// The treatment the list shows must be what a run does: for every
// combination of export classes, an entry said to be converted gets at
// least one target planned, and one said not to be gets none.
TEST_F(ExportFormatsTest, TreatmentAgreesWithWhatARunPlans) {
  options_.setTargetFolder(tmp_.path() / "Out");
  std::vector<NQFileDataObject> entries;
  for (const char* name : {"a.docx", "b.xlsx", "c.pptx", "d.pages", "e.numbers", "f.key", "g.doc",
                           "h.rtf", "i.txt", "J.DOCX", "noext"}) {
    entries.push_back(entry(tmp_.write(std::string("In/") + name)));
  }
  tmp_.write("In/Report.pages/Index/Document.iwa");
  entries.push_back(entry(tmp_.path() / "In/Report.pages"));
  entries.push_back(entry(tmp_.path() / "In/Report.pages/Index/Document.iwa"));
  entries.push_back(entry(tmp_.mkdir("In/Plain")));

  for (int classes = 0; classes < 8; ++classes) {
    options_.setOfficeExport(classes & 1);
    options_.setIworkExport(classes & 2);
    options_.setPdfExport(classes & 4);
    for (const NQFileDataObject& e : entries) {
      ScriptRunner runner(options_, services());
      ConversionController(options_, runner, services()).convertItem(e);
      std::size_t targets = 0;
      for (const auto& [app, configs] : runner.conversionConfigs()) {
        for (const FileConversionConfig& c : configs) targets += c.targetPaths.size();
      }
      const RunTreatment treatment = runTreatment(e, options_.exportClassFlags());
      const std::string what = e.url.filename().string() + " with classes " + std::to_string(classes);
      if (lastPathComponent(e.url) == "Plain") {
        EXPECT_EQ(treatment, RunTreatment::walked) << what;
      } else {
        EXPECT_EQ(treatment == RunTreatment::converted, targets > 0) << what;
      }
    }
  }

  const std::map<std::string, bool> officeOnly = {{"office", true}, {"iwork", false}, {"pdf", false}};
  EXPECT_EQ(runTreatment(entries[3], officeOnly), RunTreatment::converted);      // d.pages
  EXPECT_EQ(runTreatment(entries[0], officeOnly), RunTreatment::notConverted);   // a.docx
  EXPECT_EQ(runTreatment(entries[11], officeOnly), RunTreatment::converted);     // Report.pages/
  EXPECT_EQ(exportTargets("rtf", {{"iwork", true}, {"office", true}, {"pdf", true}}),
            (std::vector<std::string>{"pages", "docx", "pdf"}));
  EXPECT_TRUE(exportTargets("txt", {{"pdf", true}}).empty());
}

}  // namespace
}  // namespace morvane
