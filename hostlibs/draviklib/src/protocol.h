// The line protocol between the master and its clients.
//
// One record per line, fields separated by tabs; backslash, tab, carriage
// return and newline inside a field are written as \\, \t, \r and \n.
// Records:
//   MSG      seq kind subject text         a message (kind TEXT, JOB, ENGINE, SHUTDOWN)
//   PRODUCT  uid name identifier           starts the definition of a product
//   PARAM    product name choice...        adds a parameter to that product
//   COMMAND  product name flags help items adds a command (items ';'-separated)
//   END      product                       publishes the product
//   JOB      uid name product state progress outputFolder
//                                          creates or updates a job (state
//                                          WAITING, RUNNING or FINISHED; a
//                                          job with an output folder renders)
//   GONE     uid                           the master retired that job
#pragma once

#include <cstddef>

#include "xolib/string.h"

namespace draviklib_detail
{
/// Longest line accepted, without its line end.
const size_t k_MaxLineLength = 64 * 1024;

String EscapeField(const String& text);
/// False on a dangling or unknown escape.
bool UnescapeField(const String& text, String& out);

/// The escaped, tab-separated fields with a line end.
String FormatRecord(const xolib::vector<String>& fields);
/// Splits a line (without line end) into unescaped fields; false when malformed.
bool ParseRecord(const String& line, xolib::vector<String>& fields);

/// Cuts a byte stream into lines, dropping lines longer than k_MaxLineLength
/// without buffering them whole.
class LineReader
{
public:
    void Append(const char* data, size_t size);
    /// Next complete line (line end removed, a trailing '\r' too); false when
    /// none is complete. overlongDropped counts lines dropped meanwhile.
    bool NextLine(String& line);
    int TakeOverlongCount();
    void Clear();

private:
    std::string m_Buffer;
    size_t m_Start = 0;         // consumed bytes at the front of m_Buffer
    bool m_Discarding = false;  // inside an overlong line, up to its end
    int m_Overlong = 0;
};
}
