#include "serial/fixed_text.h"

#include <gtest/gtest.h>

#include <string>

namespace halv {
namespace {

TEST(FixedText, CopiesAreBoundedByWidthAndLimit) {
  FixedText<9> t;
  t.Assign(std::string(100, 'a'));
  EXPECT_EQ(t.view(), std::string(8, 'a'));
  t.Assign("abcdef", 3);
  EXPECT_EQ(t, "abc");
  t.Assign(static_cast<const char*>(nullptr));
  EXPECT_TRUE(t.empty());
  t.Assign(std::string_view("ab\0cd", 5));
  EXPECT_EQ(t, "ab");
}

TEST(FixedText, UnterminatedSourceIsReadOnlyUpToTheLimit) {
  const char raw[4] = {'w', 'x', 'y', 'z'};  // no terminating zero
  FixedText<3> t;
  t.Assign(raw, 2);
  EXPECT_EQ(t, "wx");
}

}  // namespace
}  // namespace halv
