#pragma once
// The one place where code-page-949 bytes and Unicode meet.
//
// Inside the program texts are bytes as the writer and the log lines carry
// them; widgets show QStrings. The conversion uses glibc's iconv "CP949"
// table: Qt's codec of that name maps 0x5C to a won sign and lacks the
// extended syllables. All functions are safe to call from any thread.

#include <QString>

#include <string>
#include <string_view>

// Decodes code-page-949 bytes. Never fails: a byte sequence that is invalid
// or cut off (a line cut in the middle of a double-byte character) becomes
// U+FFFD and decoding goes on after it.
QString fromCodePage(std::string_view bytes);

// Encodes into code page 949. Characters the code page lacks become '?'.
std::string toCodePage(const QString& text);

// fromCodePage() for texts shown in widgets: the Windows line ends "\r\n"
// and a lone "\r" each become one '\n'. Tabs and everything else stay.
QString fromCodePageLines(std::string_view bytes);
