#include "units/shortstr.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

// Empty texts come as null pointers and as views without data; none of them
// may reach the copy (the sanitizer build checks that), and all give "".
TEST(ShortStr, EmptyTextsOfEveryKind) {
  const char* none = nullptr;
  EXPECT_EQ(ShortString(none), "");
  EXPECT_EQ(ShortString(std::string_view()), "");
  EXPECT_EQ(ShortString(std::string()), "");
  ShortString text("ab");
  text += std::string_view();
  text += none;
  text += ShortString();
  EXPECT_EQ(text, "ab");
  EXPECT_EQ(ShortString() + std::string_view(), "");
}

TEST(ShortStr, CutAtItsCapacity) {
  const std::string long_text(300, 'x');
  ShortString text(long_text);
  EXPECT_EQ(text.size(), 255u);
  text += "more";
  text += std::string_view();
  EXPECT_EQ(text.size(), 255u);
  EXPECT_EQ(text.data()[255], '\0');
  ShortStr<3> small = ShortStr<3>("ab") + "cd";
  EXPECT_EQ(small, "abc");
}

}  // namespace
