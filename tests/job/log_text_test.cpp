#include "job/log_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LogTextTest, ControlCharactersAreEscaped) {
  struct Case {
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      // text, Japanese included, and the line ends of the log pass unchanged
      {"a.mml は正しく処理されました。\r\nb.mml\r\n",
       "a.mml は正しく処理されました。\r\nb.mml\r\n"},
      {"", ""},
      // a newline or carriage return of its own would split a line
      {"a\nb.mml\r\n", "a\\x0Ab.mml\r\n"},
      {"a\rb\r", "a\\x0Db\\x0D"},
      {"\n\r\n\r", "\\x0A\r\n\\x0D"},
      // commands to a terminal: ESC, BEL, tab, DEL, the zero byte
      {"\x1b[2J\x07\t\x7f" + std::string(1, '\0'), "\\x1B[2J\\x07\\x09\\x7F\\x00"},
      // C1 characters in UTF-8 (U+009B is a terminal's command introducer); U+00A0 is text
      {"\xc2\x9b"
       "1m\xc2\x80\xc2\xa0",
       "\\xC2\\x9B"
       "1m\\xC2\\x80\xc2\xa0"},
      // a lead byte C2 at the very end is left as it is
      {"x\xc2", "x\xc2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(EscapeControlCharacters(c.text), c.shown);
  }
}

}  // namespace
