// Conversions between the core library's 8-bit String and the toolkit's text.
#pragma once

#include <wx/string.h>

#include "xolib/string.h"

/// Core text (UTF-8) as toolkit text.
inline wxString wxsToWx(const String& text)
{
    return wxString::FromUTF8(text.c_str(), text.Length());
}

/// Toolkit text as core text (UTF-8).
inline String wxsFromWx(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return String(utf8.data(), utf8.length());
}
