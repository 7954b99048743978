#include "engine/conversion_tables.h"

#include <gtest/gtest.h>

#include "engine/script_runner.h"
#include "testing/engine_fixture.h"

namespace morvane {
namespace {

using ConversionTablesTest = testing::EngineFixture;

TEST_F(ConversionTablesTest, FreshTables) {
  const ScriptRunner& r = runner();
  ASSERT_EQ(r.conversionConfigs().size(), 6u);
  for (const auto& [app, configs] : r.conversionConfigs()) EXPECT_TRUE(configs.empty()) << app;
  EXPECT_FALSE(r.appsForExtensions().contains("DOCX"));
  EXPECT_EQ(r.appsForExtensions().at("docx"), "Pages");
  EXPECT_EQ(r.creatorStudioAppsForExtensions().at("xls"), "Numbers Creator Studio");
  EXPECT_EQ(r.exportFormats().at("rtf").size(), 3u);
  EXPECT_FALSE(r.exportFormats().at("pages").contains("iwork"));
  for (const char* ext : {"csv", "doc", "xls", "ppt"}) {
    EXPECT_FALSE(r.osaformatsForExtensions().contains(ext)) << ext;
  }
  EXPECT_EQ(r.osaformatsForExtensions().at("pptx"), "Microsoft Powerpoint");
  EXPECT_EQ(r.iworkFormats(), (std::vector<std::string>{"pages", "numbers", "key"}));
  const ConversionTables tables;
  EXPECT_TRUE(tables.isIworkFormat("key"));
  EXPECT_FALSE(tables.isIworkFormat("KEY"));
  EXPECT_FALSE(tables.isIworkFormat("docx"));
}

}  // namespace
}  // namespace morvane
