#ifndef QUAVREX_JOB_LOG_TEXT_H_
#define QUAVREX_JOB_LOG_TEXT_H_

#include <string>
#include <string_view>

// The log or a report (UTF-8) as a terminal or the dialog shows it. Every control character
// becomes "\xNN" for each of its bytes, like the bytes that are not text: C0 characters other
// than a "\r\n" that ends a line, DEL, and the C1 characters U+0080-U+009F (which some terminals
// obey as commands). So a file name or a score byte can neither split a line nor reach a
// terminal as a command. Text that is not UTF-8 passes otherwise unchanged.
std::string EscapeControlCharacters(std::string_view text);

#endif  // QUAVREX_JOB_LOG_TEXT_H_
