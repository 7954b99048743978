// Property lists of every shape measured before libplist sees them: the
// lists iWork writes fit; lists nested 200,000 deep, containers that share
// members to stand for a huge tree, or that hold themselves, exceed; broken
// ones are told apart from both.
#include "office/property_list_bounds.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>

#include "testing/property_lists.h"

namespace morvane {
namespace {

using testing::binaryPropertyList;

PropertyListFit measure(const std::string& bytes, std::string* reason = nullptr) {
  std::string ignored;
  return measurePropertyList(bytes, PropertyListBounds{}, reason != nullptr ? reason : &ignored);
}

// A list as iWork writes Metadata/Properties.plist, binary or XML.
std::string propertiesList(bool binary) {
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "fileFormatVersion", plist_new_string("14.4.1"));
  plist_t versions = plist_new_array();
  for (int n = 0; n < 20; ++n) plist_array_append_item(versions, plist_new_string("x"));
  plist_dict_set_item(root, "versions", versions);
  char* data = nullptr;
  uint32_t size = 0;
  if (binary) {
    plist_to_bin(root, &data, &size);
  } else {
    plist_to_xml(root, &data, &size);
  }
  std::string bytes(data, size);
  std::free(data);
  plist_free(root);
  return bytes;
}

TEST(PropertyListBoundsTest, ListsAsIworkWritesThemFit) {
  for (bool binary : {true, false}) {
    EXPECT_EQ(measure(propertiesList(binary)), PropertyListFit::fits) << binary;
  }
  EXPECT_EQ(measure(testing::deepBinaryPropertyList(60)), PropertyListFit::fits);
  EXPECT_EQ(measure(testing::deepXmlPropertyList(60)), PropertyListFit::fits);
  // A count past 14 follows the marker as an integer object.
  EXPECT_EQ(measure(binaryPropertyList({std::vector<std::size_t>(40, 1), {}})),
            PropertyListFit::fits);
}

TEST(PropertyListBoundsTest, ListsNestedDeeperThanAParserFollowsExceed) {
  for (const std::string& list :
       {testing::deepBinaryPropertyList(200000), testing::deepXmlPropertyList(200000),
        testing::deepBinaryPropertyList(70), testing::deepXmlPropertyList(70)}) {
    std::string reason;
    EXPECT_EQ(measure(list, &reason), PropertyListFit::exceeds) << list.substr(0, 60);
    EXPECT_EQ(reason, "it is nested deeper than 64 levels");
  }
}

TEST(PropertyListBoundsTest, SharedMembersCountWhereverTheyAreUsed) {
  // 40 arrays, each holding the next twice: 2^40 entries once copied out.
  std::vector<std::vector<std::size_t>> doubling(40);
  for (std::size_t n = 0; n + 1 < doubling.size(); ++n) doubling[n] = {n + 1, n + 1};
  std::string reason;
  EXPECT_EQ(measure(binaryPropertyList(doubling), &reason), PropertyListFit::exceeds);
  EXPECT_EQ(reason, "it stands for more than 100000 entries");

  for (const auto& loop : {std::vector<std::vector<std::size_t>>{{0}},
                           std::vector<std::vector<std::size_t>>{{1}, {2}, {1}}}) {
    EXPECT_EQ(measure(binaryPropertyList(loop), &reason), PropertyListFit::exceeds);
    EXPECT_EQ(reason, "it holds a container within itself");
  }
  // Shared but small: fine.
  EXPECT_EQ(measure(binaryPropertyList({{1, 1, 1}, {2, 2}, {}})), PropertyListFit::fits);
}

TEST(PropertyListBoundsTest, BrokenListsAreToldApart) {
  const std::string good = binaryPropertyList({{1}, {}});
  std::string badMember = binaryPropertyList({{7}, {}});  // no object 7
  std::string badTable = good;
  badTable[badTable.size() - 1] = '\x7f';  // the offset table lies past the end
  std::string badOffset = good;
  badOffset[badOffset.size() - 32 - 1] = '\x7f';  // object 1 lies past the objects
  for (const std::string& list :
       {badMember, badTable, badOffset, std::string("bplist00"), good.substr(0, good.size() - 1),
        std::string("<plist><array></plist"), std::string("</array>")}) {
    EXPECT_EQ(measure(list), PropertyListFit::malformed) << list.size();
  }
}

}  // namespace
}  // namespace morvane
