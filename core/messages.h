#ifndef QUAVREX_CORE_MESSAGES_H_
#define QUAVREX_CORE_MESSAGES_H_

#include <string>
#include <string_view>

#include "core/sjis.h"

// Every message text of the compile, in readable UTF-8, one group per stage. The compile's
// messages are converted to Shift-JIS with Sjis() where they are put together; the groups
// marked "UTF-8" are shown to people as they are. tests/core/messages_test.cpp holds every
// text here byte for byte: a new or changed text gets its row there.
//
// Most messages are put together from pieces: a part label ("1" ... "16", "A", "C", "D", "F"),
// then a clause; "Head"/"Tail" pairs enclose a byte, a name or a number from the score.
namespace messages {

// ---- frontend/: splitting the score into parts ----------------------------------------------
namespace frontend {

// Part labels and joints.
inline constexpr std::string_view kContentsLabel = "C";
inline constexpr std::string_view kFileListLabel = "F";
inline constexpr std::string_view kVoiceLabel = "D";
inline constexpr std::string_view kAdpcmLabel = "A";
// Between a part label and a clause about a command of that part.
inline constexpr std::string_view kPartJoint = "パート ";

// After a label: a block header without its closing bracket.
inline constexpr std::string_view kBracketNotClosed = "パートの括弧が閉じられていません。";

// Operator kinds and budget (MA2).
inline constexpr std::string_view kOperatorSetting = "'@O'には 2 か 4 を指定してください。";
inline constexpr std::string_view kNAlreadyGiven = "'N'はすでに指定されています。";
inline constexpr std::string_view kNSetting = "'N'には 10 を指定してください。";
inline constexpr std::string_view kTooManyFourOpParts = "オペレータ数がオーバーしています。";
inline constexpr std::string_view kOperatorTotal = "オペレータの合計が３２を超えています。";

// Repeats (returned without a label; the caller adds label + kPartJoint).
inline constexpr std::string_view kNoRepeatOpener = "'|:'がありません。";
inline constexpr std::string_view kNoRepeatCloser = "':|'がありません。";
inline constexpr std::string_view kRepeatCountTooSmall =
    "'|:'のループ回数には２以上を指定してください。";
inline constexpr std::string_view kRepeatTooLarge = "'|:'の展開後のデータが大きすぎます。";

// The contents block.
inline constexpr std::string_view kContentsNotation = "Cパート内の表記方法に誤りがあります。";
inline constexpr std::string_view kContentsColon = "Cパート内の表記に誤りがあります。";
inline constexpr std::string_view kContentsHex = "Cパート内の16進数の表記方法に誤りがあります。";

}  // namespace frontend

// ---- sequence/: the steps of a sequence part, each after the part's label -------------------
namespace sequence {

// Commands with a value.
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

// Brackets.
inline constexpr std::string_view kTupletNested = "パート '{' 連符をネストすることは出来ません。";
inline constexpr std::string_view kTupletUnclosed = "パート '{'に対応する'}'がありません。";
inline constexpr std::string_view kTupletUnopened = "パート '}'に対応する'{'がありません。";
inline constexpr std::string_view kPortamentoUnopened = "パート ')'に対応する'('がありません。";

// A byte of the text between head and tail.
inline constexpr std::string_view kByteHead = "パート '";
inline constexpr std::string_view kAtByteHead = "パート '@";
inline constexpr std::string_view kUnusableTail = "'は使用できません。";
inline constexpr std::string_view kMisusedTail = "'の使い方が正しくありません。";

// Notes (the note name between head and tail).
inline constexpr std::string_view kBelowRangeTail = "'は発音可能音域を下まわっています。";
inline constexpr std::string_view kAboveRangeTail = "'は発音可能音域を上まわっています。";

// Lengths: the part label, kLengthFaultHead, then one of the length reader's fault texts
// (the ADPCM part puts its own head before them).
inline constexpr std::string_view kLengthFaultHead = "パート ";
inline constexpr std::string_view kTicksMissing = "絶対音長(*)指定では省略できません。";
inline constexpr std::string_view kTicksZero = "絶対音長(*)に 0 は設定できません。";
inline constexpr std::string_view kPercentMissing = "絶対音長(%)指定では省略できません。";
inline constexpr std::string_view kPercentZero = "絶対音長(%)に 0 は設定できません。";
inline constexpr std::string_view kLengthValueZero = "音長に 0 は設定できません。";

// Tuplet groups.
inline constexpr std::string_view kTupletEmpty = "パート '{}' 連符内に音符がありません。";
inline constexpr std::string_view kInTupletHead = "パート 連符中に'";
inline constexpr std::string_view kMemberMarkHead = "パート 連符中の音符に '";
inline constexpr std::string_view kMemberMarkTail = "' を使用することは出来ません。";
inline constexpr std::string_view kMemberLengthTail =
    "' 連符中の音符には音長を指定することは出来ません。";

// Portamento groups (a missing octave value is kOctaveMissing above).
inline constexpr std::string_view kGlideBadGroup = "パート ポルタメントの指定が正しくありません。";
inline constexpr std::string_view kGlideCommaMisplaced =
    "パート ポルタメント内での','の使用方法が間違っています。";
inline constexpr std::string_view kGlideUnderscoreMisplaced =
    "パート ポルタメント内での'_'の使用方法が間違っています。";
inline constexpr std::string_view kGlideRest = "パート '(' ポルタメントには'R'は指定できません。";
inline constexpr std::string_view kGlideNested =
    "パート '(' ポルタメントをネストすることは出来ません。";
inline constexpr std::string_view kGlideByteHead = "パート ポルタメント中に'";
inline constexpr std::string_view kGlideByteTail = "'は指定できません。";
inline constexpr std::string_view kGlideValueRange =
    "パート ポルタメントの遷移制御値は 1～98 を指定してください。";
inline constexpr std::string_view kGlideValueSum =
    "パート ポルタメントの遷移制御値は合計が100になるように指定してください。";
inline constexpr std::string_view kGlideTooShort = "パート ポルタメントの音長が短すぎます。";

}  // namespace sequence

// ---- core/: the compile as a whole ----------------------------------------------------------
namespace core {

// After the label of the part whose events reached the cap.
inline constexpr std::string_view kPartDataTooLarge = "パート データが大きすぎます。";

// UTF-8: a score that is neither Shift-JIS nor convertible UTF-8, "<line>行<column>桁" then
// the character or byte between head and tail.
inline constexpr std::string_view kLineMark = "行";
inline constexpr std::string_view kColumnMark = "桁";
inline constexpr std::string_view kCharacterHead = "の文字 '";
inline constexpr std::string_view kCharacterTail = " はShift-JISに変換できません。";
inline constexpr std::string_view kByteHead = "のバイト ";
inline constexpr std::string_view kByteTail = " はUTF-8として読めません。";

}  // namespace core

// ---- voices/: the voice part (D), "Dパート '" + the command + a tail ------------------------
namespace voices {

inline constexpr std::string_view kPartHead = "Dパート '";
// The W and V argument messages start with the form's name, without the part name.
inline constexpr std::string_view kQuote = "'";
inline constexpr std::string_view kUnusable = "'は使用できません。";
inline constexpr std::string_view kUsage = "'の使い方が正しくありません。";
inline constexpr std::string_view kVoiceNumber = "'に正しい音色番号を設定してください。";
inline constexpr std::string_view kParamMissing = "'のパラメータが正しくありません。";
inline constexpr std::string_view kRawRange = "'のパラメータには 0 ～ 255 を指定してください。";
// "'のパラメータは" + a count + one of the two tails.
inline constexpr std::string_view kParamCountHead = "'のパラメータは";
inline constexpr std::string_view kRawTooManyTail = "個までです。";
inline constexpr std::string_view kTooFewTail = "個指定してください。";
// "'" + the form + kArgumentWrong + the parameter's clause below.
inline constexpr std::string_view kArgumentWrong = "'の引数に誤りがあります。";
inline constexpr std::string_view kArgumentCountHead = "'の引数は";
inline constexpr std::string_view kArgumentCountTail = "個です。";
inline constexpr std::string_view kSettingMissing = "'に正しい値を設定してください。";

// The settings A, C, D, L and R.
inline constexpr std::string_view kSettingA = "'には 0 か 1 を設定してください。";
inline constexpr std::string_view kSettingC = "'には 0 ～ 3 を設定してください。";
inline constexpr std::string_view kSettingD = "'には 0 ～ 255 を設定してください。";
inline constexpr std::string_view kSettingTimebase = "'には 0 ～ 3、16 ～ 19 を設定してください。";

// The clauses of the named parameters (W and V forms).
inline constexpr std::string_view kEffectFrequency =
    "エフェクト周波数には 0～3 を指定してください。";
inline constexpr std::string_view kFeedback = "フィードバックには 0～7 を指定してください。";
inline constexpr std::string_view kAlgorithm2 = "アルゴリズムには 0～1 を指定してください。";
inline constexpr std::string_view kAlgorithm4 = "アルゴリズムには 0～3 を指定してください。";
inline constexpr std::string_view kAlgorithmV2 = "アルゴリズムには 1～2 を指定してください。";
inline constexpr std::string_view kAlgorithmV4 = "アルゴリズムには 3～6 を指定してください。";
inline constexpr std::string_view kWaveform = "ウェーブフォームには 0～7 を指定してください。";
inline constexpr std::string_view kWaveformV = "ウェーブフォームには 1～8 を指定してください。";
inline constexpr std::string_view kMultiple = "マルチプルには 0～15 を指定してください。";
inline constexpr std::string_view kEnvelope = "エンベロープには 0～1 を指定してください。";
inline constexpr std::string_view kSustainFlag = "サスティンフラグには 0～1 を指定してください。";
inline constexpr std::string_view kKeyScaleRate =
    "キースケールレートには 0～1 を指定してください。";
inline constexpr std::string_view kKeyScaleRateV =
    "キースケールレートには 1～2 を指定してください。";
inline constexpr std::string_view kKeyScaleLevel =
    "キースケールレベルには 0～3 を指定してください。";
inline constexpr std::string_view kVibratoFlag = "ビブラートフラグには 0～1 を指定してください。";
inline constexpr std::string_view kVibratoLevel = "ビブラートレベルには 0～3 を指定してください。";
inline constexpr std::string_view kVibratoV = "ビブラートには 0～4 を指定してください。";
inline constexpr std::string_view kTremoloFlag = "トレモロフラグには 0～1 を指定してください。";
inline constexpr std::string_view kTremoloLevel = "トレモロレベルには 0～3 を指定してください。";
inline constexpr std::string_view kTremoloV = "トレモロには 0～4 を指定してください。";
inline constexpr std::string_view kAttackRate = "アタックレートには 0～15 を指定してください。";
inline constexpr std::string_view kDecayRate = "ディケイレートには 0～15 を指定してください。";
inline constexpr std::string_view kDecayRateV = "ディケイレートには 1～16 を指定してください。";
inline constexpr std::string_view kSustainLevel =
    "サスティーンレベルには 0～15 を指定してください。";
inline constexpr std::string_view kSustainLevelV =
    "サスティーンレベルには 1～16 を指定してください。";
inline constexpr std::string_view kReleaseRate = "リリースレートには 0～15 を指定してください。";
inline constexpr std::string_view kReleaseRateV = "リリースレートには 1～16 を指定してください。";
inline constexpr std::string_view kTotalLevel = "トータルレベルには 0～63 を指定してください。";
inline constexpr std::string_view kTotalLevelV = "トータルレベルには 1～64 を指定してください。";

}  // namespace voices

// ---- adpcm/: the file list (F) and the ADPCM part (A) ---------------------------------------
namespace adpcm {

// The file list: "Fパート '" + the byte + kUnusableTail, or a whole message.
inline constexpr std::string_view kFileUnusableHead = "Fパート '";
inline constexpr std::string_view kFileUnusableTail = "'は使用できません。";
inline constexpr std::string_view kWaveTypeWrong = "Fパート 'S'には 4 か 8 を指定してください。";
inline constexpr std::string_view kOpenInName = "Fパート ファイル名に'<'は使用できません。";
inline constexpr std::string_view kCloseWithoutName = "Fパート ファイル名に'>'は使用できません。";
inline constexpr std::string_view kFileSpecWrong = "Fパート ADPCMファイルの指定に誤りがあります。";

// The ADPCM part: "A" + kPartHead + one of these. The offending byte, raw, takes the place of
// the marker \x01 (see Message()).
inline constexpr std::string_view kPartHead = "パート ";
inline constexpr std::string_view kNotRegistered = "'\x01'にはADPCMファイルが登録されていません。";
inline constexpr std::string_view kCannotUse = "'\x01'は使用できません。";
inline constexpr std::string_view kWrongUse = "'\x01'の使い方が正しくありません。";
inline constexpr std::string_view kVoiceCannotUse = "'@'は使用できません。";
inline constexpr std::string_view kAtCannotUse = "'@\x01'は使用できません。";
inline constexpr std::string_view kLMissing = "'L'に値が設定されていません。";
inline constexpr std::string_view kLZero = "'L'に 0 は設定できません。";
inline constexpr std::string_view kQRange = "'Q'には 1～8 を設定してください。";
inline constexpr std::string_view kTMissing = "'T'に値が設定されていません。";
inline constexpr std::string_view kTZero = "'T'に 0 は設定できません。";
inline constexpr std::string_view kVRange = "'V'には 0～15 を設定してください。";
inline constexpr std::string_view kAtVRange = "'@V'には 0～127 を設定してください。";
inline constexpr std::string_view kAtVRelativeRange = "'@V\x01'には 1～126 を設定してください。";
inline constexpr std::string_view kSlur = "'&' このパートではスラーとして使用できません。";
inline constexpr std::string_view kNested = "'{' 連符をネストすることは出来ません。";
inline constexpr std::string_view kNoOpenBrace = "'}'に対応する'{'がありません。";
inline constexpr std::string_view kNoCloseBrace = "'{'に対応する'}'がありません。";
inline constexpr std::string_view kMemberLength =
    "'\x01' 連符中の音符には音長を指定することは出来ません。";
inline constexpr std::string_view kNotInTuplet = "連符中に'\x01'は使用できません。";
inline constexpr std::string_view kNotOnMember = "連符中の音符に'\x01'を使用することは出来ません。";
inline constexpr std::string_view kEmptyTuplet = "'{}' 連符内に音符がありません。";
inline constexpr std::string_view kGroupLength = "'}' ";  // before a length fault of the group

// "Aパート " + `text` in Shift-JIS, with `byte` (raw) in place of the marker \x01. A zero byte
// is left out, as the end of the text is.
inline std::string Message(std::string_view text, std::string_view byte = {}) {
  std::string out = "A" + Sjis(kPartHead);
  const size_t mark = text.find('\x01');
  if (mark == std::string_view::npos) {
    return out + Sjis(text);
  }
  return out + Sjis(text.substr(0, mark)) + std::string(byte) + Sjis(text.substr(mark + 1));
}

inline std::string Message(std::string_view text, char byte) {
  return Message(text, std::string_view(&byte, byte == 0 ? 0 : 1));
}

}  // namespace adpcm

// ---- mmf/: writing the file -----------------------------------------------------------------
namespace mmf {

inline constexpr std::string_view kNoNoteData = "音符データがありませんでした。";
// Around the file name as the F part gives it.
inline constexpr std::string_view kWaveNotFoundHead = "ADPCMファイル\"";
inline constexpr std::string_view kWaveNotFoundTail = "\"が見つかりませんでした。";
inline constexpr std::string_view kWaveOpenFailed = "ADPCMファイルのオープンに失敗しました。";
inline constexpr std::string_view kDataTooLarge = "データが大きすぎます。";
inline constexpr std::string_view kTooManyVoices = "使用されている音色数が制限を越えています。";

}  // namespace mmf

// ---- job/: the log, the range report and the note under it ----------------------------------
namespace job {

// UTF-8: log lines, each after the file name.
inline constexpr std::string_view kNotProcessed = " は処理されませんでした。";
inline constexpr std::string_view kOpenFailed = " ファイルのオープンに失敗しました。";
inline constexpr std::string_view kWriteFailed = " ファイルの書き込みに失敗しました。";
inline constexpr std::string_view kProcessed = " は正しく処理されました。";
inline constexpr std::string_view kOutOfMemory = " メモリの確保に失敗しました。";

// UTF-8: the note under a range report, around the file name.
inline constexpr std::string_view kReportNoteHead = "\r\n※";
inline constexpr std::string_view kReportNoteTail =
    "は作成されています。\r\n上記のメッセージはMA1フォーマット仕様に基づくもので\r\n"
    "問題なく再生できる機種もあります。";

// Range report lines: kRangePart + part name + one clause. The voice clause puts the voice
// number and two octaves between its pieces: " 音色\"@5\"の発音可能音域(o3C#～o6C)を...".
inline constexpr std::string_view kRangePart = "パート";
inline constexpr std::string_view kSpanTooWide = " 音程の範囲が制限を越えています。\r\n";
inline constexpr std::string_view kTooLow = " \"o2C#\" 以下の音があります。\r\n";
inline constexpr std::string_view kVoiceRangeHead = " 音色\"@";
inline constexpr std::string_view kVoiceRangeLow = "\"の発音可能音域(o";
inline constexpr std::string_view kVoiceRangeHigh = "C#～o";
inline constexpr std::string_view kVoiceRangeTail = "C)を越えています。\r\n";

}  // namespace job

}  // namespace messages

#endif  // QUAVREX_CORE_MESSAGES_H_
