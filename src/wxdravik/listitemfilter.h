// The filter words of the farm lists: whether a row passes what the user typed.
#pragma once

#include "wxdravik/wxdravikdefs.h"
#include "xolib/string.h"

/// Whether a row, given as its texts (for example its cells), passes the
/// filter words. One text must match every word: a plain word occurs in it
/// ignoring case, a word starting with '-' or '!' does not occur in it, and
/// "\-" or "\!" searches for a leading '-' or '!'. No words pass every row;
/// words and no texts pass nothing. A word that is empty after its mark
/// (a lone "-" while the user is still typing) constrains nothing.
WXDRAVIK_API bool ListItemPassesFilter(const xolib::vector<String>& texts, const xolib::vector<String>& words);
