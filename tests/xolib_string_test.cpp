// Text, formatting and tokenizer of the core library.
#include <gtest/gtest.h>

#include <set>

#include "xolib/string.h"

namespace
{
xolib::vector<String> Fields(const String& text, char sep, bool returnEmpty = false)
{
    xolib::vector<String> out;
    StringTokenizer tokens(text, sep, returnEmpty, '"', '\\');
    while (tokens.HasMore())
        out.push_back(tokens.GetNext());
    return out;
}

xolib::vector<String> V(std::initializer_list<const char*> items)
{
    xolib::vector<String> out;
    for (const char* item : items)
        out.push_back(item);
    return out;
}
}  // namespace

TEST(XolibString, SearchAndCompare)
{
    String s("Hello, World");
    EXPECT_EQ(s.Find("World"), 7);
    EXPECT_LT(s.Find("world"), 0);
    EXPECT_EQ(s.FindNoCase("world"), 7);
    EXPECT_LT(s.Find("o", 9), 0);
    EXPECT_EQ(s.Find("o", 5), 8);
    EXPECT_LT(s.Find("x", 1000), 0);
    EXPECT_LT(s.FindNoCase("HELLO", 1), 0);
    EXPECT_EQ(s.Find(','), 5);
    EXPECT_EQ(s.FindLast('o'), 8);
    EXPECT_LT(String().FindLast('o'), 0);
    EXPECT_LT(String("ab").FindNoCase("abc"), 0);

    EXPECT_EQ(String("abc").CompareNoCase("ABC"), 0);
    EXPECT_LT(String("abc").CompareNoCase("ABD"), 0);
    EXPECT_GT(String("abcd").CompareNoCase("ABC"), 0);
    // operator< is case-sensitive, ciless is not.
    EXPECT_TRUE(String("B") < String("a"));
    EXPECT_FALSE(String::ciless()("B", "a"));
    std::set<String, String::ciless> folded{"Key", "KEY", "key"};
    EXPECT_EQ(folded.size(), 1u);

    EXPECT_TRUE(s.StartsWith("Hello"));
    EXPECT_FALSE(String("He").StartsWith("Hello"));
    EXPECT_TRUE(s.StartsWithNoCase("hELLO"));
    EXPECT_TRUE(s.EndsWith("World"));
    EXPECT_FALSE(String("d").EndsWith("World"));
    EXPECT_TRUE(String(nullptr).Empty());
    EXPECT_TRUE(String::Null.Empty());
}

TEST(XolibString, SlicesClampAtTheEdges)
{
    String s("abcdef");
    EXPECT_EQ(s.Mid(2), "cdef");
    EXPECT_EQ(s.Mid(2, 2), "cd");
    EXPECT_EQ(s.Mid(4, 100), "ef");
    EXPECT_EQ(s.Mid(6), "");
    EXPECT_EQ(s.Mid(100), "");
    EXPECT_EQ(s.Mid(-3, 2), "");
    EXPECT_EQ(s.Left(3), "abc");
    EXPECT_EQ(s.Left(-1), "");
    EXPECT_EQ(s.Left(100), "abcdef");
    EXPECT_EQ(s.Right(2), "ef");
    EXPECT_EQ(s.Right(100), "abcdef");
    EXPECT_EQ(s.Right(-5), "");

    EXPECT_EQ(String("host:port:x").RightFirst(":"), "port:x");
    EXPECT_EQ(String("nocolon").RightFirst(":", "none"), "none");
    EXPECT_EQ(String("a:").RightFirst(":", "none"), "");
    EXPECT_EQ(String("host:port").LeftFirst(":"), "host");
    EXPECT_EQ(String("plain").LeftFirst(":"), "plain");

    String d("abcdef");
    EXPECT_EQ(d.Delete(1, 2), "adef");
    EXPECT_EQ(d.Delete(3, 100), "ade");
    EXPECT_EQ(d.Delete(10, 1), "ade");
    EXPECT_EQ(d.Delete(-1, 1), "ade");
}

TEST(XolibString, ReplaceAndCase)
{
    String s("a-b-c");
    EXPECT_EQ(s.Replace("-", "--"), 2);  // replacement contains the pattern: no endless loop
    EXPECT_EQ(s, "a--b--c");
    EXPECT_EQ(s.Replace("--", "+", false), 1);
    EXPECT_EQ(s, "a+b--c");
    EXPECT_EQ(s.Replace("", "x"), 0);
    EXPECT_EQ(s.Replace("zz", "x"), 0);
    EXPECT_EQ(String("MiXed 1").Upper(), "MIXED 1");
    EXPECT_EQ(String("MiXed 1").Lower(), "mixed 1");
    EXPECT_EQ(String(" \t x y \r\n").Trim(), "x y");
    EXPECT_EQ(String("   ").Trim(), "");
}

TEST(XolibString, NumbersParseLikeC)
{
    EXPECT_EQ(String("42").Int(), 42);
    EXPECT_EQ(String("  \t-17xyz").Int(), -17);
    EXPECT_EQ(String("+8").Int(), 8);
    EXPECT_EQ(String("").Int(10, -1), -1);
    EXPECT_EQ(String("abc").Int(10, 99), 99);
    EXPECT_EQ(String("-").Int(10, 5), 5);
    EXPECT_EQ(String(" - 3").Int(10, 5), 5);
    EXPECT_EQ(String("ff").Int(16), 255);
    EXPECT_EQ(String("0x1F").Int(16), 31);
    EXPECT_EQ(String("99999999999").Int(), 2147483647);
    EXPECT_EQ(String("-99999999999").Int(), -2147483647 - 1);
    EXPECT_EQ(String("-9223372036854775808").Int64(), INT64_MIN);
    EXPECT_EQ(String("9223372036854775808").Int64(), INT64_MAX);
    EXPECT_EQ(String("12").Int(1, 7), 7);  // no such base
    EXPECT_DOUBLE_EQ(String(" 2.5e1x").Double(), 25.0);
    EXPECT_DOUBLE_EQ(String("x").Double(-1.0), -1.0);
    EXPECT_EQ(String::FromInt(-12345678901LL), "-12345678901");
}

TEST(XolibString, FormatAndWords)
{
    EXPECT_EQ(SFormat("%d-%s-%.2f", 7, "x", 1.5), "7-x-1.50");
    String big = SFormat("%s", std::string(5000, 'q').c_str());
    EXPECT_EQ(big.Length(), 5000u);
    EXPECT_EQ(big, String(5000, 'q'));
    EXPECT_EQ(String("a") + "b" + String("c") + 'd', "abcd");
    EXPECT_EQ(k_Empty, "");
    EXPECT_EQ(k_NL, "\n");
    EXPECT_EQ(k_Yes + k_No + k_True + k_False + k_On + k_Off, "YesNoTrueFalseOnOff");
}

TEST(XolibTokenizer, FieldsQuotesAndEscapes)
{
    EXPECT_EQ(Fields("a,b,,c", ','), V({"a", "b", "c"}));
    EXPECT_EQ(Fields("a,b,,c", ',', true), V({"a", "b", "", "c"}));
    EXPECT_EQ(Fields(",a,", ',', true), V({"", "a", ""}));
    EXPECT_EQ(Fields(",a,", ','), V({"a"}));
    EXPECT_TRUE(Fields("", ',').empty());
    EXPECT_TRUE(Fields(",,,", ',').empty());

    // Quotes group and vanish; the separator inside them is literal.
    EXPECT_EQ(Fields("x \"a b\" y", ' '), V({"x", "a b", "y"}));
    EXPECT_EQ(Fields("pre\"mid,dle\"post,z", ','), V({"premid,dlepost", "z"}));
    EXPECT_EQ(Fields("\"\",a", ','), V({"", "a"}));  // an explicit empty field counts
    // Backslash makes the next character literal, quote and separator included.
    EXPECT_EQ(Fields("a\\,b,c", ','), V({"a,b", "c"}));
    EXPECT_EQ(Fields("say \\\"hi\\\"", ' '), V({"say", "\"hi\""}));
    EXPECT_EQ(Fields("a\\\\,b", ','), V({"a\\", "b"}));
}

TEST(XolibTokenizer, BrokenInputStaysInBounds)
{
    // Unterminated quote takes the rest; a trailing escape is kept as is.
    EXPECT_EQ(Fields("a,\"b,c", ','), V({"a", "b,c"}));
    EXPECT_EQ(Fields("a,b\\", ','), V({"a", "b\\"}));
    EXPECT_EQ(Fields("\"", ','), V({""}));
    EXPECT_EQ(Fields("\\", ','), V({"\\"}));

    StringTokenizer tokens("one", ',');
    EXPECT_EQ(tokens.GetNext(), "one");
    EXPECT_FALSE(tokens.HasMore());
    EXPECT_EQ(tokens.GetNext(), "");  // past the end: empty, no crash

    // Every prefix of a nasty text tokenizes without reading past its end.
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
    }
}
