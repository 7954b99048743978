// Walking protobuf messages without a schema: every kind of field iWork
// writes, and the damaged messages that must be refused rather than read
// past their end.
#include "office/protobuf_fields.h"

#include <google/protobuf/unknown_field_set.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvane {
namespace {

std::vector<std::string> walk(const std::string& message, bool* ok = nullptr) {
  std::vector<std::string> seen;
  const bool read = forEachField(message, [&](const ProtoField& f) {
    seen.push_back(std::to_string(f.number) + ":" +
                   (f.kind == ProtoField::Kind::bytes ? std::string(f.bytes)
                                                      : std::to_string(f.value)));
    return true;
  });
  if (ok != nullptr) *ok = read;
  return seen;
}

TEST(ProtobufFieldsTest, VisitsEveryKindInOrder) {
  google::protobuf::UnknownFieldSet set;
  set.AddVarint(1, 6002);
  *set.AddLengthDelimited(3) = "Cheetah";
  set.AddFixed32(4, 7);
  set.AddFixed64(5, 1ull << 40);
  set.AddVarint(536870911, 1);  // the largest field number
  std::string message;
  set.SerializeToString(&message);
  bool ok = false;
  EXPECT_EQ(walk(message, &ok), (std::vector<std::string>{"1:6002", "3:Cheetah", "4:7",
                                                           "5:1099511627776", "536870911:1"}));
  EXPECT_TRUE(ok);
  EXPECT_TRUE(walk("", &ok).empty());
  EXPECT_TRUE(ok);
}

TEST(ProtobufFieldsTest, RefusesDamagedMessagesAndStopsWhenAsked) {
  const std::vector<std::string> damaged = {
      std::string("\x1a\x05" "abc", 5),          // a length past the end
      std::string("\x1a\xff\xff\xff\xff\x0f", 6), // a length of 4 GiB
      std::string("\x08\xff\xff", 3),            // a varint cut short
      std::string("\x0b\x0c", 2),                // a group
      std::string("\x00\x01", 2),                // field number 0
      std::string("\x0f", 1),                    // an unknown wire type
      std::string("\x25\x01\x02", 3)};           // a fixed32 cut short
  for (const std::string& message : damaged) {
    bool ok = true;
    walk(message, &ok);
    EXPECT_FALSE(ok) << testing::PrintToString(message);
  }
  int visits = 0;
  EXPECT_FALSE(forEachField(std::string("\x08\x01\x08\x02", 4), [&](const ProtoField&) {
    return ++visits < 1;
  }));
  EXPECT_EQ(visits, 1);
}

}  // namespace
}  // namespace morvane
