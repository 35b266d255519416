// Xolib: 8-bit text, tokenizer and printf-style formatting.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace xolib
{
using std::map;
using std::set;
using std::vector;
}

/// 8-bit text. Comparison with operator< is case-sensitive; ciless and
/// CompareNoCase ignore ASCII case.
class String
{
public:
    String() = default;
    String(const char* text);  // NOLINT: implicit like std::string; null gives empty
    String(const char* text, size_t length);
    String(const std::string& text);  // NOLINT
    String(std::string&& text);       // NOLINT
    String(size_t count, char fill);

    static const String Null;

    /// Case-insensitive strict weak ordering, for ordered containers.
    struct ciless
    {
        bool operator()(const String& a, const String& b) const;
    };

    const char* c_str() const { return m_Text.c_str(); }
    size_t Length() const { return m_Text.size(); }
    bool Empty() const { return m_Text.empty(); }
    const std::string& Str() const { return m_Text; }
    std::string& Str() { return m_Text; }

    char operator[](size_t index) const { return m_Text[index]; }

    /// 0 when equal ignoring ASCII case, negative / positive like strcmp.
    int CompareNoCase(const String& other) const;
    /// Case-sensitive comparison like strcmp.
    int Cmp(const String& other) const;

    /// Index of the first occurrence at or after start, negative when absent.
    int Find(const String& text, int start = 0) const;
    int FindNoCase(const String& text, int start = 0) const;
    int Find(char c, int start = 0) const;
    /// Index of the last occurrence, negative when absent.
    int FindLast(char c) const;

    bool StartsWith(const String& prefix) const;
    bool StartsWithNoCase(const String& prefix) const;
    bool EndsWith(const String& suffix) const;

    /// Up to count characters from start; count < 0 means to the end.
    /// Out-of-range starts give an empty text.
    String Mid(int start, int count = -1) const;
    String Left(int count) const;
    String Right(int count) const;
    /// The text after the first occurrence of separator; when the separator is
    /// absent, returns notFound.
    String RightFirst(const String& separator, const String& notFound = String()) const;
    /// The text before the first occurrence of separator, or the whole text.
    String LeftFirst(const String& separator) const;

    /// Replaces occurrences of from with to (all of them when all is true);
    /// returns the number of replacements.
    int Replace(const String& from, const String& to, bool all = true);
    /// Removes count characters from start (clamped to the text).
    String& Delete(int start, int count = 1);

    /// Decimal (or other base) value; leading blanks are skipped, a sign is
    /// accepted, parsing stops at the first character that is not a digit.
    /// Text with no digits gives defaultValue.
    int Int(int base = 10, int defaultValue = 0) const;
    int64_t Int64(int base = 10, int64_t defaultValue = 0) const;
    double Double(double defaultValue = 0.0) const;

    String Upper() const;
    String Lower() const;
    String Trim() const;  // blanks removed from both ends

    String& operator+=(const String& other);
    String& operator+=(const char* other);
    String& operator+=(char c);

    bool operator==(const String& o) const { return m_Text == o.m_Text; }
    bool operator!=(const String& o) const { return m_Text != o.m_Text; }
    bool operator<(const String& o) const { return m_Text < o.m_Text; }
    bool operator==(const char* o) const { return m_Text == (o ? o : ""); }
    bool operator!=(const char* o) const { return !(*this == o); }

    static String FromInt(int64_t value);

private:
    std::string m_Text;
};

String operator+(const String& a, const String& b);
String operator+(const String& a, const char* b);
String operator+(const char* a, const String& b);
String operator+(const String& a, char b);

/// printf-style formatting into a String.
String SFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
String SFormatV(const char* format, va_list args);

extern const String k_Empty;
extern const String k_NL;
extern const String k_Yes;
extern const String k_No;
extern const String k_True;
extern const String k_False;
extern const String k_On;
extern const String k_Off;

/// Splits text into fields at a separator character. Text inside the quote
/// character is one field (quotes removed); the escape character makes the
/// next character literal. With returnEmpty false, empty fields are skipped.
class StringTokenizer
{
public:
    StringTokenizer(const String& text, char separator, bool returnEmpty = false, char quote = '"',
                    char escape = '\\');

    bool HasMore() const;
    String GetNext();

private:
    void Advance();

    String m_Text;
    char m_Separator;
    bool m_ReturnEmpty;
    char m_Quote;
    char m_Escape;
    size_t m_Position = 0;
    bool m_HasNext = false;
    String m_Next;
};
