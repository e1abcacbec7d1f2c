// The text helpers, one table per function. widen and narrow run the platform's own UTF-8
// converter, so these rows also pin down what it does with malformed input.
#include "TextHelpers.h"

#include "CaseName.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vandreth {
namespace {

using nlohmann::json;
using test::CaseName;
using namespace std::string_literals;

struct TrimCase {
    std::string name;
    std::string text;
    std::string expected;
};

// Rows print as their names, also in the test names that CTest lists.
void PrintTo(const TrimCase& row, std::ostream* out)
{
    *out << row.name;
}

class Trim : public testing::TestWithParam<TrimCase> {};

TEST_P(Trim, RemovesOnlyAsciiWhiteSpaceAtBothEnds)
{
    EXPECT_EQ(trim(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Trim,
    testing::Values(TrimCase{"Empty", "", ""}, TrimCase{"OnlyBlanks", " \t\r\n \r\n", ""},
                    TrimCase{"AllSixWhiteSpaceBytes", "\t\n\v\f\r x \t\n\v\f\r", "x"},
                    TrimCase{"InnerBlankStays", " \ta b\r\n", "a b"},
                    TrimCase{"NoBreakSpaceIsNoWhiteSpace", "x\xC2\xA0", "x\xC2\xA0"},
                    TrimCase{"HighBytesAtBothEndsStay", "\xA0 x \x85", "\xA0 x \x85"},
                    TrimCase{"NulIsNoWhiteSpace", "\0 "s, "\0"s},
                    TrimCase{"NulInsideStays", " a\0b "s, "a\0b"s}, TrimCase{"NothingToTrim", "abc", "abc"},
                    TrimCase{"OneCharacter", " x", "x"}),
    CaseName());

struct JsonStringCase {
    std::string name;
    json value;
    const char* member;
    std::string expected;
};

void PrintTo(const JsonStringCase& row, std::ostream* out)
{
    *out << row.name;
}

class JsonString : public testing::TestWithParam<JsonStringCase> {};

TEST_P(JsonString, GivesTheStringMemberOrTheFallback)
{
    EXPECT_EQ(jsonString(GetParam().value, GetParam().member, "fallback"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, JsonString,
    testing::Values(
        JsonStringCase{"NullValue", json(), "m", "fallback"},
        JsonStringCase{"ArrayValue", json::array({"m", "x"}), "m", "fallback"},
        JsonStringCase{"StringValue", json("m"), "m", "fallback"},
        JsonStringCase{"NumberValue", json(7), "m", "fallback"},
        JsonStringCase{"MissingMember", json{{"other", "x"}}, "m", "fallback"},
        JsonStringCase{"NullMember", json{{"m", nullptr}}, "m", "fallback"},
        JsonStringCase{"NumberMember", json{{"m", 3}}, "m", "fallback"},
        JsonStringCase{"BooleanMember", json{{"m", true}}, "m", "fallback"},
        JsonStringCase{"ArrayMember", json{{"m", json::array({"x"})}}, "m", "fallback"},
        JsonStringCase{"ObjectMember", json{{"m", json{{"m", "inner"}}}}, "m", "fallback"},
        JsonStringCase{"EmptyStringMember", json{{"m", ""}}, "m", ""},
        JsonStringCase{"BlanksKept", json{{"m", "  spaced \t"}}, "m", "  spaced \t"},
        JsonStringCase{"NameComparedWithCase", json{{"Message", "x"}}, "message", "fallback"},
        JsonStringCase{"NoPathIntoObjects", json{{"user", json{{"name", "x"}}}}, "user.name", "fallback"},
        JsonStringCase{"Utf8Kept", json{{"m", "\xF0\x9F\x94\xA5"}}, "m", "\xF0\x9F\x94\xA5"}),
    CaseName());

TEST(JsonString, GivesTheFallbackAsGiven)
{
    EXPECT_EQ(jsonString(json::object(), "m", ""), "");
    EXPECT_EQ(jsonString(json::object(), "m", " \xC3\xA9 "), " \xC3\xA9 ");
}

struct WidenCase {
    std::string name;
    std::string text;
    std::u16string expected;
};

void PrintTo(const WidenCase& row, std::ostream* out)
{
    *out << row.name;
}

class Widen : public testing::TestWithParam<WidenCase> {};

TEST_P(Widen, ConvertsUtf8ToUtf16)
{
    const std::wstring wide = widen(GetParam().text);
    EXPECT_EQ(std::u16string(wide.begin(), wide.end()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Widen,
    testing::Values(WidenCase{"Empty", "", u""}, WidenCase{"Ascii", "GET", u"GET"},
                    WidenCase{"TwoByteCharacter", "\xC3\xA9", u"\u00E9"},
                    WidenCase{"FourByteCharacterIsASurrogatePair", "\xF0\x9F\x94\xA5", u"\xD83D\xDD25"},
                    WidenCase{"StopsAtNul", "a\0b"s, u"a"}, WidenCase{"LeadingNul", "\0b"s, u""},
                    WidenCase{"InvalidByteReplaced", "a\xFF" "b", u"a\uFFFDb"},
                    WidenCase{"LoneContinuationByteReplaced", "\x80", u"\uFFFD"},
                    WidenCase{"TruncatedSequenceReplaced", "a\xC3", u"a\uFFFD"}),
    CaseName());

struct NarrowCase {
    std::string name;
    std::u16string wide;
    std::string expected;
};

void PrintTo(const NarrowCase& row, std::ostream* out)
{
    *out << row.name;
}

class Narrow : public testing::TestWithParam<NarrowCase> {};

TEST_P(Narrow, ConvertsUtf16ToUtf8)
{
    EXPECT_EQ(narrow(std::wstring(GetParam().wide.begin(), GetParam().wide.end())), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Narrow,
    testing::Values(NarrowCase{"Empty", u"", ""}, NarrowCase{"Ascii", u"abc", "abc"},
                    NarrowCase{"TwoByteCharacter", u"\u00E9", "\xC3\xA9"},
                    NarrowCase{"SurrogatePair", u"\xD83D\xDD25", "\xF0\x9F\x94\xA5"},
                    NarrowCase{"StopsAtNul", u"a\0b"s, "a"},
                    NarrowCase{"LoneSurrogateReplaced", u"a\xDC00" u"b", "a\xEF\xBF\xBD" "b"}),
    CaseName());

struct PercentEncodeCase {
    std::string name;
    std::string text;
    std::string expected;
};

void PrintTo(const PercentEncodeCase& row, std::ostream* out)
{
    *out << row.name;
}

class PercentEncode : public testing::TestWithParam<PercentEncodeCase> {};

TEST_P(PercentEncode, FormEncodesEveryByte)
{
    EXPECT_EQ(percentEncode(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PercentEncode,
    testing::Values(
        PercentEncodeCase{"Empty", "", ""}, PercentEncodeCase{"OneBlank", " ", "+"},
        PercentEncodeCase{"InnerBlank", "a b", "a+b"}, PercentEncodeCase{"Plus", "a+b", "a%2Bb"},
        PercentEncodeCase{"TwoByteCharacter", "\xC3\xA9", "%C3%A9"},
        PercentEncodeCase{"FourByteCharacter", "\xF0\x9F\x94\xA5", "%F0%9F%94%A5"},
        PercentEncodeCase{"Percent", "50%", "50%25"}, PercentEncodeCase{"UnreservedMarks", "~-._", "~-._"},
        PercentEncodeCase{"Asterisk", "*", "%2A"}, PercentEncodeCase{"Nul", "\0"s, "%00"},
        PercentEncodeCase{"LettersAndDigits", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"},
        PercentEncodeCase{"FormAndUrlDelimiters", "&=?/#:@", "%26%3D%3F%2F%23%3A%40"},
        PercentEncodeCase{"LettersNextToTheirRanges", "@[`{/:", "%40%5B%60%7B%2F%3A"},
        PercentEncodeCase{"ControlBytesAndBoundaries", "\t\r\n\x1F\x7F\xFF", "%09%0D%0A%1F%7F%FF"}),
    CaseName());

}  // namespace
}  // namespace vandreth
