// Text, formatting and tokenizer of the core library.
#include <gtest/gtest.h>

#include <set>

#include "xolib/string.h"

namespace
{
// The fields of text, each in brackets: "[a][][b]".
std::string Fields(const String& text, char sep, bool returnEmpty = false)
{
    std::string out;
    StringTokenizer tokens(text, sep, returnEmpty, '"', '\\');
    while (tokens.HasMore())
        out += "[" + tokens.GetNext().Str() + "]";
    return out;
}
}  // namespace

TEST(XolibString, SearchCompareAndSlice)
{
    String s("Hello, World");
    EXPECT_EQ(s.Find("World"), 7);
    EXPECT_LT(s.Find("world"), 0);
    EXPECT_EQ(s.FindNoCase("world"), 7);
    EXPECT_LT(s.Find("o", 9), 0);
    EXPECT_EQ(s.Find("o", 5), 8);
    EXPECT_LT(s.FindNoCase("HELLO", 1), 0);
    EXPECT_EQ(s.FindLast('o'), 8);
    EXPECT_LT(String().FindLast('o'), 0);

    EXPECT_EQ(String("abc").CompareNoCase("ABC"), 0);
    EXPECT_LT(String("abc").CompareNoCase("ABD"), 0);
    EXPECT_GT(String("abcd").CompareNoCase("ABC"), 0);
    // operator< is case-sensitive, ciless is not.
    EXPECT_TRUE(String("B") < String("a"));
    EXPECT_EQ((std::set<String, String::ciless>{"Key", "KEY", "key"}.size()), 1u);
    EXPECT_FALSE(String("He").StartsWith("Hello"));
    EXPECT_TRUE(s.StartsWithNoCase("hELLO"));
    EXPECT_FALSE(String("d").EndsWith("World"));

    // Slices clamp at both edges.
    String t("abcdef");
    EXPECT_EQ(t.Mid(4, 100), "ef");
    EXPECT_EQ(t.Mid(100), "");
    EXPECT_EQ(t.Mid(-3, 2), "");
    EXPECT_EQ(t.Left(-1), "");
    EXPECT_EQ(t.Left(100), "abcdef");
    EXPECT_EQ(t.Right(-5), "");
    EXPECT_EQ(String("host:port:x").RightFirst(":"), "port:x");
    EXPECT_EQ(String("nocolon").RightFirst(":", "none"), "none");
    EXPECT_EQ(String("a:").RightFirst(":", "none"), "");
    EXPECT_EQ(t.Delete(1, 2), "adef");
    EXPECT_EQ(t.Delete(3, 100), "ade");
    EXPECT_EQ(t.Delete(10, 1), "ade");
    EXPECT_EQ(t.Delete(-1, 1), "ade");
}

TEST(XolibString, ReplaceCaseNumbersAndFormat)
{
    String s("a-b-c");
    EXPECT_EQ(s.Replace("-", "--"), 2);  // replacement contains the pattern: no endless loop
    EXPECT_EQ(s, "a--b--c");
    EXPECT_EQ(s.Replace("--", "+", false), 1);
    EXPECT_EQ(s, "a+b--c");
    EXPECT_EQ(String("MiXed 1").Upper(), "MIXED 1");
    EXPECT_EQ(String(" \t x y \r\n").Trim(), "x y");

    EXPECT_EQ(String("  \t-17xyz").Int(), -17);
    EXPECT_EQ(String("-").Int(10, 5), 5);
    EXPECT_EQ(String(" - 3").Int(10, 5), 5);
    EXPECT_EQ(String("0x1F").Int(16), 31);
    EXPECT_EQ(String("99999999999").Int(), 2147483647);
    EXPECT_EQ(String("-99999999999").Int(), -2147483647 - 1);
    EXPECT_EQ(String("-9223372036854775808").Int64(), INT64_MIN);
    EXPECT_EQ(String("9223372036854775808").Int64(), INT64_MAX);
    EXPECT_EQ(String("12").Int(1, 7), 7);  // no such base
    EXPECT_DOUBLE_EQ(String(" 2.5e1x").Double(), 25.0);
    EXPECT_EQ(String::FromInt(-12345678901LL), "-12345678901");

    EXPECT_EQ(SFormat("%d-%s-%.2f", 7, "x", 1.5), "7-x-1.50");
    EXPECT_EQ(SFormat("%s", std::string(5000, 'q').c_str()), String(5000, 'q'));
}

TEST(XolibTokenizer, FieldsQuotesEscapesAndBrokenInput)
{
    struct Case
    {
        const char* text;
        char sep;
        bool returnEmpty;
        const char* fields;
    };
    const Case cases[] = {
        {"a,b,,c", ',', false, "[a][b][c]"},
        {"a,b,,c", ',', true, "[a][b][][c]"},
        {",a,", ',', true, "[][a][]"},
        {",,,", ',', false, ""},
        // Quotes group and vanish; the separator inside them is literal.
        {"x \"a b\" y", ' ', false, "[x][a b][y]"},
        {"pre\"mid,dle\"post,z", ',', false, "[premid,dlepost][z]"},
        {"\"\",a", ',', false, "[][a]"},  // an explicit empty field counts
        // Backslash makes the next character literal, quote and separator included.
        {"a\\,b,c", ',', false, "[a,b][c]"},
        {"say \\\"hi\\\"", ' ', false, "[say][\"hi\"]"},
        {"a\\\\,b", ',', false, "[a\\][b]"},
        // An unterminated quote takes the rest; a trailing escape is kept as is.
        {"a,\"b,c", ',', false, "[a][b,c]"},
        {"a,b\\", ',', false, "[a][b\\]"},
        {"\"", ',', false, "[]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Fields(c.text, c.sep, c.returnEmpty), c.fields) << c.text;

    // Past the end: empty, no crash. Every prefix of a nasty text tokenizes without reading past its end.
    const String nasty("\"a\\\"b\",\\,\"\"\\");
    for (size_t n = 0; n <= nasty.Length(); ++n)
    {
        StringTokenizer t(nasty.Left(int(n)), ',', true);
        size_t count = 0;
        while (t.HasMore() && count < 100)
        {
            t.GetNext();
            ++count;
        }
        EXPECT_LT(count, 100u);
        EXPECT_EQ(t.GetNext(), "");
    }
}
