#include <gtest/gtest.h>

#include <string>

#include "protocol/instrument.h"
#include "protocol/settings_capture.h"

namespace halv {
namespace {

std::string Base64(const std::string& bytes) {
  static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t k = 0; k < bytes.size(); k += 3) {
    uint32_t v = static_cast<uint8_t>(bytes[k]) << 16;
    if (k + 1 < bytes.size()) v |= static_cast<uint8_t>(bytes[k + 1]) << 8;
    if (k + 2 < bytes.size()) v |= static_cast<uint8_t>(bytes[k + 2]);
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    out += k + 1 < bytes.size() ? alphabet[(v >> 6) & 63] : '=';
    out += k + 2 < bytes.size() ? alphabet[v & 63] : '=';
  }
  return out;
}

void Fill(RecordList* list, std::initializer_list<std::string> values) {
  ASSERT_TRUE(AllocateRecords(list, static_cast<int32_t>(values.size())));
  int k = 0;
  for (const std::string& v : values) list->records[k++].value.Assign(v);
}

TEST(Base64Group, DecodesAndCountsStrangersAsZero) {
  struct Case {
    const char* group;
    uint8_t bytes[3];
  };
  const Case cases[] = {
      {"TWFu", {'M', 'a', 'n'}},
      {"TQ==", {'M', 0, 0}},
      {"////", {255, 255, 255}},
      {"!!!!", {0, 0, 0}},
      {"T\x80"
       "Fu",
       {0x4C, 0x01, 0x6E}},
      {"AAA=", {0, 0, 0}},
  };
  for (const Case& c : cases) {
    uint8_t out[3] = {1, 1, 1};
    DecodeBase64Group(c.group, out);
    EXPECT_EQ(out[0], c.bytes[0]) << c.group;
    EXPECT_EQ(out[1], c.bytes[1]) << c.group;
    EXPECT_EQ(out[2], c.bytes[2]) << c.group;
  }
}

TEST(ExtractNames, EquationAndUserNames) {
  InstrumentConnection connection(nullptr);
  RecordList equations;
  Fill(&equations, {"flow_rate`max 1 2 3", "averyveryverylongequationname x", "", "plain"});
  ASSERT_EQ(ExtractNames(&connection, &equations, kEquationRecords), 1);
  EXPECT_EQ(equations.records[0].name, "flow rate,max");
  EXPECT_EQ(equations.records[1].name, "averyveryverylongequ");
  EXPECT_EQ(equations.records[2].name, "");
  EXPECT_EQ(equations.records[3].name, "plain");

  RecordList users;
  Fill(&users, {Base64("1\t2\t3\tLongUserName\tmore"), Base64("1\t2\tonly two tabs"),
                Base64("a\tb\tc\tAnn"), "@@@@"});
  ASSERT_EQ(ExtractNames(&connection, &users, kUserRecords), 1);
  EXPECT_EQ(users.records[0].name, "LongUserN");
  EXPECT_EQ(users.records[1].name, "");
  EXPECT_EQ(users.records[2].name, "Ann");
  EXPECT_EQ(users.records[3].name, "");

  EXPECT_EQ(ExtractNames(&connection, &users, 3), -11);
  EXPECT_EQ(ExtractNames(&connection, nullptr, kUserRecords), -10);
}

TEST(AlphabetizeRecords, SortsByNameIgnoringCase) {
  InstrumentConnection connection(nullptr);
  RecordList list;
  Fill(&list, {"beta 1", "Alpha 2", "gamma 3", "alp 4", "Beta 5"});
  ASSERT_EQ(AlphabetizeRecords(&connection, &list, kEquationRecords), 1);
  const char* expected[] = {"alp 4", "Alpha 2", "Beta 5", "beta 1", "gamma 3"};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(list.records[k].value, expected[k]) << k;
  EXPECT_EQ(AlphabetizeRecords(&connection, &list, 0), -11);
}

TEST(GetRecordsFile, ReadsNumberedKeysUpToTheFirstGap) {
  InstrumentConnection connection(nullptr);
  RecordList list;
  const std::string text =
      "type=\"HYQ\"\r\nuser00=\"QUFB\"\r\nuser01=\"QkJC\"\r\nuser03=\"Q0ND\"\r\n"
      "eqn00=\"x 1\"\r\neqn01=\"\"\r\n";
  EXPECT_EQ(GetRecords_File(&connection, &list, kUserRecords, text), 1);
  ASSERT_EQ(list.count, 2);
  EXPECT_EQ(list.records[1].value, "QkJC");
  // eqn01 is there but empty: one record is read of the two counted.
  EXPECT_EQ(GetRecords_File(&connection, &list, kEquationRecords, text), 1);
  EXPECT_EQ(list.count, 1);
  EXPECT_EQ(GetRecords_File(&connection, &list, kUserRecords, "type=\"HYQ\"\r\n"), 0);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(GetRecords_File(&connection, &list, 7, text), -11);
}

}  // namespace
}  // namespace halv
