// Xolib: 8-bit text, tokenizer and printf-style formatting.
#include "xolib/string.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace
{
char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

// Shared by Int and Int64: strtoll-like but with an explicit "no digits" result
// and saturation instead of undefined overflow.
bool ParseInteger(const std::string& text, int base, int64_t& out)
{
    if (base < 2 || base > 36)
        return false;
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    {
        negative = text[i] == '-';
        ++i;
    }
    if (base == 16 && i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        i + 2 < text.size() && DigitValue(text[i + 2]) < 16)
        i += 2;
    // Accumulate as a negative number so that INT64_MIN is representable.
    const int64_t limit = std::numeric_limits<int64_t>::min();
    int64_t value = 0;
    bool any = false;
    bool overflow = false;
    for (; i < text.size(); ++i)
    {
        int digit = DigitValue(text[i]);
        if (digit >= base)
            break;
        any = true;
        if (overflow)
            continue;
        if (value < (limit + digit) / base)
            overflow = true;
        else
            value = value * base - digit;
    }
    if (!any)
        return false;
    if (overflow)
        out = negative ? limit : std::numeric_limits<int64_t>::max();
    else if (negative)
        out = value;
    else
        out = value == limit ? std::numeric_limits<int64_t>::max() : -value;
    return true;
}

size_t ClampIndex(int index, size_t length)
{
    if (index < 0)
        return 0;
    return size_t(index) > length ? length : size_t(index);
}
}  // namespace

const String String::Null;

const String k_Empty("");
const String k_NL("\n");
const String k_Yes("Yes");
const String k_No("No");
const String k_True("True");
const String k_False("False");
const String k_On("On");
const String k_Off("Off");

String::String(const char* text) : m_Text(text ? text : "") {}
String::String(const char* text, size_t length) : m_Text(text ? std::string(text, length) : std::string()) {}
String::String(const std::string& text) : m_Text(text) {}
String::String(std::string&& text) : m_Text(std::move(text)) {}
String::String(size_t count, char fill) : m_Text(count, fill) {}

bool String::ciless::operator()(const String& a, const String& b) const
{
    return a.CompareNoCase(b) < 0;
}

int String::CompareNoCase(const String& other) const
{
    const size_t n = std::min(Length(), other.Length());
    for (size_t i = 0; i < n; ++i)
    {
        unsigned char a = (unsigned char)LowerAscii(m_Text[i]);
        unsigned char b = (unsigned char)LowerAscii(other.m_Text[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (Length() == other.Length())
        return 0;
    return Length() < other.Length() ? -1 : 1;
}

int String::Cmp(const String& other) const
{
    int r = m_Text.compare(other.m_Text);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int String::Find(const String& text, int start) const
{
    if (start < 0)
        start = 0;
    if (size_t(start) > Length())
        return -1;
    size_t at = m_Text.find(text.m_Text, size_t(start));
    return at == std::string::npos ? -1 : int(at);
}

int String::FindNoCase(const String& text, int start) const
{
    if (start < 0)
        start = 0;
    const size_t n = text.Length();
    if (size_t(start) > Length() || n > Length())
        return -1;
    for (size_t i = size_t(start); i + n <= Length(); ++i)
    {
        size_t k = 0;
        while (k < n && LowerAscii(m_Text[i + k]) == LowerAscii(text.m_Text[k]))
            ++k;
        if (k == n)
            return int(i);
    }
    return -1;
}

int String::Find(char c, int start) const
{
    if (start < 0)
        start = 0;
    if (size_t(start) >= Length())
        return -1;
    size_t at = m_Text.find(c, size_t(start));
    return at == std::string::npos ? -1 : int(at);
}

int String::FindLast(char c) const
{
    size_t at = m_Text.rfind(c);
    return at == std::string::npos ? -1 : int(at);
}

bool String::StartsWith(const String& prefix) const
{
    return m_Text.compare(0, prefix.Length(), prefix.m_Text) == 0 && Length() >= prefix.Length();
}

bool String::StartsWithNoCase(const String& prefix) const
{
    return Length() >= prefix.Length() && Left(int(prefix.Length())).CompareNoCase(prefix) == 0;
}

bool String::EndsWith(const String& suffix) const
{
    return Length() >= suffix.Length() &&
           m_Text.compare(Length() - suffix.Length(), suffix.Length(), suffix.m_Text) == 0;
}

String String::Mid(int start, int count) const
{
    if (start < 0 || size_t(start) >= Length())
        return String();
    if (count < 0)
        return String(m_Text.substr(size_t(start)));
    return String(m_Text.substr(size_t(start), size_t(count)));
}

String String::Left(int count) const
{
    return String(m_Text.substr(0, ClampIndex(count, Length())));
}

String String::Right(int count) const
{
    size_t n = ClampIndex(count, Length());
    return String(m_Text.substr(Length() - n));
}

String String::RightFirst(const String& separator, const String& notFound) const
{
    int at = Find(separator);
    if (at < 0)
        return notFound;
    return String(m_Text.substr(size_t(at) + separator.Length()));
}

String String::LeftFirst(const String& separator) const
{
    int at = Find(separator);
    return at < 0 ? *this : Left(at);
}

int String::Replace(const String& from, const String& to, bool all)
{
    // An empty pattern would match everywhere forever.
    if (from.Empty())
        return 0;
    int count = 0;
    size_t at = 0;
    while ((at = m_Text.find(from.m_Text, at)) != std::string::npos)
    {
        m_Text.replace(at, from.Length(), to.m_Text);
        at += to.Length();
        ++count;
        if (!all)
            break;
    }
    return count;
}

String& String::Delete(int start, int count)
{
    if (start < 0 || count <= 0 || size_t(start) >= Length())
        return *this;
    m_Text.erase(size_t(start), size_t(count));
    return *this;
}

int String::Int(int base, int defaultValue) const
{
    int64_t value = 0;
    if (!ParseInteger(m_Text, base, value))
        return defaultValue;
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return int(value);
}

int64_t String::Int64(int base, int64_t defaultValue) const
{
    int64_t value = 0;
    return ParseInteger(m_Text, base, value) ? value : defaultValue;
}

double String::Double(double defaultValue) const
{
    const char* begin = m_Text.c_str();
    char* end = nullptr;
    errno = 0;
    double value = strtod(begin, &end);
    if (end == begin)
        return defaultValue;
    return value;
}

String String::Upper() const
{
    String r(*this);
    for (char& c : r.m_Text)
        c = UpperAscii(c);
    return r;
}

String String::Lower() const
{
    String r(*this);
    for (char& c : r.m_Text)
        c = LowerAscii(c);
    return r;
}

String String::Trim() const
{
    size_t begin = 0;
    size_t end = Length();
    while (begin < end && IsBlank(m_Text[begin]))
        ++begin;
    while (end > begin && IsBlank(m_Text[end - 1]))
        --end;
    return String(m_Text.substr(begin, end - begin));
}

String& String::operator+=(const String& other)
{
    m_Text += other.m_Text;
    return *this;
}

String& String::operator+=(const char* other)
{
    if (other)
        m_Text += other;
    return *this;
}

String& String::operator+=(char c)
{
    m_Text += c;
    return *this;
}

String String::FromInt(int64_t value)
{
    return String(std::to_string(value));
}

String operator+(const String& a, const String& b)
{
    return String(a.Str() + b.Str());
}

String operator+(const String& a, const char* b)
{
    String r(a);
    r += b;
    return r;
}

String operator+(const char* a, const String& b)
{
    String r(a);
    r += b;
    return r;
}

String operator+(const String& a, char b)
{
    String r(a);
    r += b;
    return r;
}

String SFormatV(const char* format, va_list args)
{
    if (!format)
        return String();
    char small[256];
    va_list copy;
    va_copy(copy, args);
    int needed = vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0)
        return String();
    if (size_t(needed) < sizeof small)
        return String(small, size_t(needed));
    std::string big(size_t(needed) + 1, '\0');
    vsnprintf(&big[0], big.size(), format, args);
    big.resize(size_t(needed));
    return String(std::move(big));
}

String SFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    String r = SFormatV(format, args);
    va_end(args);
    return r;
}

StringTokenizer::StringTokenizer(const String& text, char separator, bool returnEmpty, char quote, char escape)
    : m_Text(text), m_Separator(separator), m_ReturnEmpty(returnEmpty), m_Quote(quote), m_Escape(escape)
{
    Advance();
}

bool StringTokenizer::HasMore() const
{
    return m_HasNext;
}

String StringTokenizer::GetNext()
{
    if (!m_HasNext)
        return String();
    String r = std::move(m_Next);
    m_Next = String();
    Advance();
    return r;
}

// Reads the next field into m_Next. m_Position sits at the start of a field,
// or one past the end when the last field has been taken. A text ending in a
// separator therefore has a trailing empty field, seen only with returnEmpty.
void StringTokenizer::Advance()
{
    const std::string& text = m_Text.Str();
    const size_t length = text.size();
    for (;;)
    {
        if (m_Position > length || (m_Position == length && (length == 0 || !m_ReturnEmpty)))
        {
            m_HasNext = false;
            return;
        }
        std::string field;
        bool inQuote = false;
        bool quoted = false;
        size_t i = m_Position;
        for (; i < length; ++i)
        {
            char c = text[i];
            if (c == m_Escape && m_Escape != '\0')
            {
                // A lone escape at the very end stays as it is.
                if (i + 1 < length)
                    ++i;
                field += text[i];
            }
            else if (c == m_Quote && m_Quote != '\0')
            {
                inQuote = !inQuote;
                quoted = true;
            }
            else if (c == m_Separator && !inQuote)
                break;
            else
                field += c;
        }
        // Step over the separator; past the end means no further field.
        m_Position = i + 1;
        if (i >= length)
            m_Position = length + 1;
        if (field.empty() && !quoted && !m_ReturnEmpty)
            continue;
        m_Next = String(std::move(field));
        m_HasNext = true;
        return;
    }
}
