#ifndef QUAVREX_FRONTEND_MESSAGES_H_
#define QUAVREX_FRONTEND_MESSAGES_H_

#include <string_view>

// The front end's message texts in UTF-8. Callers convert them with Sjis() and put them
// together from these pieces: a part label ("1" ... "16", "A", "C", "D", "F"), then "パート",
// then the clause.
namespace frontend_messages {

// ---- Part labels and joints ----------------------------------------------------------------
inline constexpr std::string_view kContentsLabel = "C";
inline constexpr std::string_view kFileListLabel = "F";
inline constexpr std::string_view kVoiceLabel = "D";
inline constexpr std::string_view kAdpcmLabel = "A";
// Between a part label and a clause about a command of that part.
inline constexpr std::string_view kPartJoint = "パート ";

// ---- Blocks ---------------------------------------------------------------------------------
// After a label: a block header without its closing bracket.
inline constexpr std::string_view kBracketNotClosed = "パートの括弧が閉じられていません。";

// ---- Operator kinds and budget (MA2) -----------------------------------------------------------
inline constexpr std::string_view kOperatorSetting = "'@O'には 2 か 4 を指定してください。";
inline constexpr std::string_view kNAlreadyGiven = "'N'はすでに指定されています。";
inline constexpr std::string_view kNSetting = "'N'には 10 を指定してください。";
inline constexpr std::string_view kTooManyFourOpParts = "オペレータ数がオーバーしています。";
inline constexpr std::string_view kOperatorTotal = "オペレータの合計が３２を超えています。";

// ---- Repeats (returned without a label; the caller adds label + kPartJoint) -----------------
inline constexpr std::string_view kNoRepeatOpener = "'|:'がありません。";
inline constexpr std::string_view kNoRepeatCloser = "':|'がありません。";
inline constexpr std::string_view kRepeatCountTooSmall =
    "'|:'のループ回数には２以上を指定してください。";
inline constexpr std::string_view kRepeatTooLarge = "'|:'の展開後のデータが大きすぎます。";

// ---- Contents block -----------------------------------------------------------------------------
inline constexpr std::string_view kContentsNotation = "Cパート内の表記方法に誤りがあります。";
inline constexpr std::string_view kContentsColon = "Cパート内の表記に誤りがあります。";
inline constexpr std::string_view kContentsHex = "Cパート内の16進数の表記方法に誤りがあります。";

}  // namespace frontend_messages

#endif  // QUAVREX_FRONTEND_MESSAGES_H_
