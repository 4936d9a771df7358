#include <gtest/gtest.h>

#include <string>

#include "quor/data/datastring.h"

using quor::data::datastring;
using S = datastring<32, char>;

TEST(Datastring, EmptyStringInvariants)
{
    S s;
    EXPECT_EQ(s.Length(), 1u);
    EXPECT_EQ(s.Capacity(), 32u);
    EXPECT_EQ(s.Text()[0], '\0');
    EXPECT_EQ(s.Step(), 32u);
}

TEST(Datastring, GrowsByStepFromRequiredBytes)
{
    S s;
    s.Append(std::string(31, 'a').c_str());
    EXPECT_EQ(s.Capacity(), 32u);
    s.Append('b');
    EXPECT_EQ(s.Capacity(), 64u);
    EXPECT_EQ(s.Size(), 32u);
    s.Append(std::string(32, 'c').c_str());  // 64 characters: R = 65
    EXPECT_EQ(s.Capacity(), 96u);
    EXPECT_EQ(s.Length(), 65u);
    EXPECT_EQ(std::string(s.Text()), std::string(31, 'a') + "b" + std::string(32, 'c'));
    EXPECT_EQ(S::CapacityFor(33), 64u);
    EXPECT_EQ(S::CapacityFor(64), 64u);
    EXPECT_EQ(S::CapacityFor(65), 96u);
    EXPECT_EQ((datastring<8, char>::CapacityFor(9)), 16u);
}

TEST(Datastring, NullAndNulAppendNothing)
{
    S s;
    s.Append(static_cast<const char*>(nullptr));
    s.Append('\0');
    EXPECT_EQ(s.Length(), 1u);
    s.Append("x").Append('y');
    EXPECT_STREQ(s.Text(), "xy");
}

TEST(Datastring, FormattedAppendKeepsAtMostSizeMinusTwo)
{
    S s;
    s.Append(32, "%s", std::string(40, 'z').c_str());
    EXPECT_EQ(s.Size(), 30u);
    S n(32, "%i", -1234);
    EXPECT_STREQ(n.Text(), "-1234");
    EXPECT_EQ(n.Length(), 6u);
    S tiny(0, "%i", 5);  // no room for any text: empty, never a write before the buffer
    EXPECT_EQ(tiny.Length(), 1u);
}

TEST(Datastring, ClearShrinksOnlyWhenAsked)
{
    S s;
    s.Append(std::string(70, 'q').c_str());
    EXPECT_EQ(s.Capacity(), 96u);
    s.Clear(false);
    EXPECT_EQ(s.Capacity(), 96u);
    EXPECT_EQ(s.Length(), 1u);
    s.Append(std::string(70, 'q').c_str());
    s.Clear(true);
    EXPECT_EQ(s.Capacity(), 32u);
    EXPECT_EQ(s.Text()[0], '\0');
}

TEST(Datastring, CopyIsDeepAndSizedFromLength)
{
    S s;
    s.Append(std::string(70, 'q').c_str());
    s.Clear(false);
    s.Append("abc");
    S c(s);
    EXPECT_EQ(c.Capacity(), 32u);
    c.Append("d");
    EXPECT_STREQ(s.Text(), "abc");
    EXPECT_STREQ(c.Text(), "abcd");
    s = s;  // self-assignment keeps the text
    EXPECT_STREQ(s.Text(), "abc");
}

TEST(Datastring, TokenizeAppendsTokensAndSkipsEmptyOnes)
{
    std::vector<S> out;
    out.emplace_back("keep");
    S text("a,,b,");
    EXPECT_EQ(text.Tokenize(out, ","), 2);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_STREQ(out[1].Text(), "a");
    EXPECT_STREQ(out[2].Text(), "b");
    EXPECT_STREQ(text.Text(), "a,,b,");  // the string itself is never altered
    S commas(",,,");
    EXPECT_EQ(commas.Tokenize(out, ","), 0);
    EXPECT_EQ(out.size(), 3u);
}
