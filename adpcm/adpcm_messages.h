#ifndef QUAVREX_ADPCM_ADPCM_MESSAGES_H_
#define QUAVREX_ADPCM_ADPCM_MESSAGES_H_

#include <string>
#include <string_view>

#include "core/sjis.h"

// The messages of the ADPCM part, all of the form "Aパート " + text. A text in two pieces
// takes the offending byte, inserted raw, between them.
namespace adpcm_msg {

// Commands and notes.
inline constexpr char kNotRegistered[] = "'\x01'にはADPCMファイルが登録されていません。";
inline constexpr char kCannotUse[] = "'\x01'は使用できません。";
inline constexpr char kWrongUse[] = "'\x01'の使い方が正しくありません。";
inline constexpr char kVoiceCannotUse[] = "'@'は使用できません。";
inline constexpr char kAtCannotUse[] = "'@\x01'は使用できません。";
inline constexpr char kLMissing[] = "'L'に値が設定されていません。";
inline constexpr char kLZero[] = "'L'に 0 は設定できません。";
inline constexpr char kQRange[] = "'Q'には 1～8 を設定してください。";
inline constexpr char kTMissing[] = "'T'に値が設定されていません。";
inline constexpr char kTZero[] = "'T'に 0 は設定できません。";
inline constexpr char kVRange[] = "'V'には 0～15 を設定してください。";
inline constexpr char kAtVRange[] = "'@V'には 0～127 を設定してください。";
inline constexpr char kAtVRelativeRange[] = "'@V\x01'には 1～126 を設定してください。";
inline constexpr char kSlur[] = "'&' このパートではスラーとして使用できません。";

// Tuplets.
inline constexpr char kNested[] = "'{' 連符をネストすることは出来ません。";
inline constexpr char kNoOpenBrace[] = "'}'に対応する'{'がありません。";
inline constexpr char kNoCloseBrace[] = "'{'に対応する'}'がありません。";
inline constexpr char kMemberLength[] = "'\x01' 連符中の音符には音長を指定することは出来ません。";
inline constexpr char kNotInTuplet[] = "連符中に'\x01'は使用できません。";
inline constexpr char kNotOnMember[] = "連符中の音符に'\x01'を使用することは出来ません。";
inline constexpr char kEmptyTuplet[] = "'{}' 連符内に音符がありません。";
inline constexpr char kGroupLength[] = "'}' ";  // before a length fault of the group length

// "Aパート " + `text` in Shift-JIS, with `byte` (raw) in place of the marker \x01. A zero byte
// is left out, as the end of the text is.
inline std::string Message(std::string_view text, std::string_view byte = {}) {
  std::string out = "A" + Sjis("パート ");
  size_t mark = text.find('\x01');
  if (mark == std::string_view::npos) {
    return out + Sjis(text);
  }
  return out + Sjis(text.substr(0, mark)) + std::string(byte) + Sjis(text.substr(mark + 1));
}

inline std::string Message(std::string_view text, char byte) {
  return Message(text, std::string_view(&byte, byte == 0 ? 0 : 1));
}

}  // namespace adpcm_msg

#endif  // QUAVREX_ADPCM_ADPCM_MESSAGES_H_
