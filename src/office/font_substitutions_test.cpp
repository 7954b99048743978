// The font table as the workers' profiles carry it: which pairs go in, and
// that every stand-in names a face that setup really installs.
#include "office/font_substitutions.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace morvane {
namespace {

TEST(FontSubstitutionsTest, EveryStandInIsInstalledUnderThatName) {
  // A misspelt stand-in would silently leave its family to the default face.
  for (const FontSubstitution& s : fontSubstitutions()) {
    EXPECT_TRUE(fontFamilyInstalled(s.standIn)) << s.standIn << " for " << s.family;
  }
  EXPECT_FALSE(fontFamilyInstalled("No Such Family Morvane"));
}

TEST(FontSubstitutionsTest, PairsOnlyForMissingFamiliesWithAStandIn) {
  // Helvetica Neue is "installed" here: the real font wins; Carlito is not.
  const std::set<std::string_view> installed = {"Nimbus Sans", "Helvetica Neue", "Gillius ADF"};
  const std::string settings = fontReplacementSettings(
      [&](std::string_view family) { return installed.contains(family); });
  EXPECT_NE(settings.find("<value>Helvetica</value></prop><prop oor:name=\"SubstituteFont\" "
                          "oor:op=\"fuse\"><value>Nimbus Sans</value>"),
            std::string::npos)
      << settings;
  EXPECT_NE(settings.find("<value>Gill Sans</value>"), std::string::npos);
  EXPECT_EQ(settings.find("<value>Helvetica Neue</value>"), std::string::npos);
  EXPECT_EQ(settings.find("Carlito"), std::string::npos);
  EXPECT_NE(settings.find("<prop oor:name=\"Replacement\" oor:op=\"fuse\"><value>true</value>"),
            std::string::npos);

  // One item a line, each with a node name of its own: the profile's
  // settings are replaced line by line.
  std::istringstream lines(settings);
  std::set<std::string> nodes;
  for (std::string line; std::getline(lines, line);) {
    EXPECT_TRUE(line.starts_with("<item ") && line.ends_with("</item>")) << line;
    const std::size_t node = line.find("oor:name=\"morvane-");
    if (node != std::string::npos) {
      EXPECT_TRUE(nodes.insert(line.substr(node, 24)).second) << line;
    }
  }
  EXPECT_GE(nodes.size(), 3u);

  EXPECT_EQ(fontReplacementSettings([](std::string_view) { return false; }), "");
}

}  // namespace
}  // namespace morvane
