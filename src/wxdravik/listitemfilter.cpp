#include "wxdravik/listitemfilter.h"

namespace
{
bool WordMatches(const String& text, const String& word)
{
    bool negative = false;
    String pattern = word;
    if (word.StartsWith("\\-") || word.StartsWith("\\!"))
        pattern = word.Mid(1);
    else if (word.StartsWith("-") || word.StartsWith("!"))
    {
        negative = true;
        pattern = word.Mid(1);
    }
    // Every text contains the empty text, so a lone "-" would hide the whole
    // list the moment the user types it.
    if (pattern.Empty())
        return true;
    const bool found = text.FindNoCase(pattern, 0) >= 0;
    return found != negative;
}
}

bool ListItemPassesFilter(const xolib::vector<String>& texts, const xolib::vector<String>& words)
{
    if (words.empty())
        return true;
    for (const String& text : texts)
    {
        bool passes = true;
        for (const String& word : words)
            if (!WordMatches(text, word))
            {
                passes = false;
                break;
            }
        if (passes)
            return true;
    }
    return false;
}
