#ifndef QUAVREX_SEQUENCE_STEP_MESSAGES_H_
#define QUAVREX_SEQUENCE_STEP_MESSAGES_H_

#include <string_view>

// The message texts of a sequence part (commands, notes, tuplets), in UTF-8. Every message
// is the part's label followed by one of these; "Head"/"Tail" pairs enclose a byte or a
// note name taken from the part text.
namespace sequence_messages {

// ---- Commands with a value ------------------------------------------------------------------
inline constexpr std::string_view kTempoMissing = "パート 'T'に値が設定されていません。";
inline constexpr std::string_view kTempoZero = "パート 'T'に 0 は設定できません。";
inline constexpr std::string_view kLengthMissing = "パート 'L'に値が設定されていません。";
inline constexpr std::string_view kLengthZero = "パート 'L'に 0 は設定できません。";
inline constexpr std::string_view kOctaveMissing = "パート 'O'に値が設定されていません。";
inline constexpr std::string_view kVolume = "パート 'V'には 0～15 を設定してください。";
inline constexpr std::string_view kFineVolume = "パート '@V'には 0～127 を設定してください。";
inline constexpr std::string_view kVolumeUp = "パート '@V~'には 1～126 を設定してください。";
inline constexpr std::string_view kVolumeDown = "パート '@V_'には 1～126 を設定してください。";
inline constexpr std::string_view kPan = "パート 'P'には 1～3 を設定してください。";
inline constexpr std::string_view kFinePan = "パート '@P'には 0～127 を設定してください。";
inline constexpr std::string_view kExpression = "パート 'X'には 1～15 を設定してください。";
inline constexpr std::string_view kFineExpression = "パート '@X'には 0～127 を設定してください。";
inline constexpr std::string_view kModulation = "パート '@M'には 0～127 を設定してください。";
inline constexpr std::string_view kGate = "パート 'Q'には 1～8 を設定してください。";
inline constexpr std::string_view kKey = "パート 'K'には -127～127 を設定してください。";
inline constexpr std::string_view kKeyUp = "パート 'K~'には 1～127 を設定してください。";
inline constexpr std::string_view kKeyDown = "パート 'K_'には 1～127 を設定してください。";
inline constexpr std::string_view kDetune = "パート '@K'には -512～512 を設定してください。";
inline constexpr std::string_view kDetuneUp = "パート '@K~'には 1～512 を設定してください。";
inline constexpr std::string_view kDetuneDown = "パート '@K_'には 1～512 を設定してください。";
inline constexpr std::string_view kOperators = "パート '@O'には 2か4を設定してください。";
inline constexpr std::string_view kRhythmPart = "パート 'N'には 10を設定してください。";
inline constexpr std::string_view kVoiceMa1 = "パート '@'には 0～127 を指定してください。";
inline constexpr std::string_view kVoiceMa2 =
    "パート '@'には 0～127、152～212 を指定してください。";

// ---- Brackets -------------------------------------------------------------------------------
inline constexpr std::string_view kTupletNested = "パート '{' 連符をネストすることは出来ません。";
inline constexpr std::string_view kTupletUnclosed = "パート '{'に対応する'}'がありません。";
inline constexpr std::string_view kTupletUnopened = "パート '}'に対応する'{'がありません。";
inline constexpr std::string_view kPortamentoUnopened = "パート ')'に対応する'('がありません。";

// ---- A byte of the text between head and tail -----------------------------------------------
inline constexpr std::string_view kByteHead = "パート '";
inline constexpr std::string_view kAtByteHead = "パート '@";
inline constexpr std::string_view kUnusableTail = "'は使用できません。";
inline constexpr std::string_view kMisusedTail = "'の使い方が正しくありません。";

// ---- Notes (the note name between head and tail) --------------------------------------------
inline constexpr std::string_view kBelowRangeTail = "'は発音可能音域を下まわっています。";
inline constexpr std::string_view kAboveRangeTail = "'は発音可能音域を上まわっています。";

// ---- Lengths: the part label, this, then the length reader's fault text ---------------------
inline constexpr std::string_view kLengthFaultHead = "パート ";

// ---- Tuplet groups --------------------------------------------------------------------------
inline constexpr std::string_view kTupletEmpty = "パート '{}' 連符内に音符がありません。";
inline constexpr std::string_view kInTupletHead = "パート 連符中に'";
inline constexpr std::string_view kMemberMarkHead = "パート 連符中の音符に '";
inline constexpr std::string_view kMemberMarkTail = "' を使用することは出来ません。";
inline constexpr std::string_view kMemberLengthTail =
    "' 連符中の音符には音長を指定することは出来ません。";

}  // namespace sequence_messages

#endif  // QUAVREX_SEQUENCE_STEP_MESSAGES_H_
