#ifndef QUAVREX_CORE_SCORE_ENCODING_H_
#define QUAVREX_CORE_SCORE_ENCODING_H_

#include <cstddef>
#include <string>

// How the bytes of a score are to be read.
enum class ScoreEncoding {
  kAuto,      // UTF-8 when the score says so (see ToCompilerText), otherwise Shift-JIS
  kShiftJis,  // as they are
  kUtf8,      // UTF-8, converted
};

// A UTF-8 score that cannot become Shift-JIS: where, and why.
struct EncodingFault {
  size_t offset = 0;    // byte offset in the UTF-8 text of the character at fault
  std::string message;  // UTF-8, naming the character (or byte), its line and its column
};

// Turns the bytes of a score into the Shift-JIS (CP932) text the compiler reads. With kAuto a
// score is taken as UTF-8 when it starts with the byte order mark; when it is well-formed
// UTF-8 holding a three- or four-byte character (any Japanese text, any emoji); or when it is
// well-formed UTF-8 whose multi-byte characters are all of two bytes and it converts wholly
// (such text may be Shift-JIS half-width kana). Anything else is left as Shift-JIS. A score
// taken as UTF-8 loses its byte order mark and is converted; false when it holds a byte
// sequence that is no UTF-8 or a character that CP932 lacks (`text` is then unchanged and
// `fault` tells which).
bool ToCompilerText(std::string& text, ScoreEncoding encoding, EncodingFault& fault);

#endif  // QUAVREX_CORE_SCORE_ENCODING_H_
