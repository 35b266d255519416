#include "protocol.h"

namespace draviklib_detail
{
String EscapeField(const String& text)
{
    String out;
    out.Str().reserve(text.Length());
    for (size_t i = 0; i < text.Length(); ++i)
    {
        char c = text[i];
        switch (c)
        {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

bool UnescapeField(const String& text, String& out)
{
    out = String();
    out.Str().reserve(text.Length());
    for (size_t i = 0; i < text.Length(); ++i)
    {
        char c = text[i];
        if (c != '\\')
        {
            out += c;
            continue;
        }
        if (++i == text.Length())
            return false;
        switch (text[i])
        {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return false;
        }
    }
    return true;
}

String FormatRecord(const xolib::vector<String>& fields)
{
    String line;
    for (size_t i = 0; i < fields.size(); ++i)
    {
        if (i)
            line += '\t';
        line += EscapeField(fields[i]);
    }
    line += '\n';
    return line;
}

bool ParseRecord(const String& line, xolib::vector<String>& fields)
{
    fields.clear();
    const std::string& text = line.Str();
    size_t start = 0;
    for (;;)
    {
        size_t tab = text.find('\t', start);
        String field;
        if (!UnescapeField(String(text.substr(start, tab == std::string::npos ? std::string::npos : tab - start)),
                           field))
            return false;
        fields.push_back(field);
        if (tab == std::string::npos)
            return true;
        start = tab + 1;
    }
}

void LineReader::Append(const char* data, size_t size)
{
    // Compact now and then, so the buffer holds at most one partial line
    // plus the latest chunk.
    if (m_Start > 0 && m_Start >= m_Buffer.size() / 2)
    {
        m_Buffer.erase(0, m_Start);
        m_Start = 0;
    }
    m_Buffer.append(data, size);
}

bool LineReader::NextLine(String& line)
{
    for (;;)
    {
        size_t end = m_Buffer.find('\n', m_Start);
        if (end == std::string::npos)
        {
            if (m_Buffer.size() - m_Start > k_MaxLineLength)
            {
                if (!m_Discarding)
                    ++m_Overlong;
                m_Discarding = true;
                m_Buffer.clear();
                m_Start = 0;
            }
            return false;
        }
        size_t begin = m_Start;
        m_Start = end + 1;
        if (m_Discarding)
        {
            m_Discarding = false;
            continue;
        }
        size_t length = end - begin;
        if (length > 0 && m_Buffer[end - 1] == '\r')
            --length;
        if (length > k_MaxLineLength)
        {
            ++m_Overlong;
            continue;
        }
        line = String(m_Buffer.data() + begin, length);
        return true;
    }
}

int LineReader::TakeOverlongCount()
{
    int count = m_Overlong;
    m_Overlong = 0;
    return count;
}

void LineReader::Clear()
{
    m_Buffer.clear();
    m_Start = 0;
    m_Discarding = false;
}
}
