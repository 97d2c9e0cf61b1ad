#ifndef QUAVREX_MIDI_IMPORT_IMPORT_MESSAGES_H_
#define QUAVREX_MIDI_IMPORT_IMPORT_MESSAGES_H_

// Every text of the MIDI import (UTF-8): the faults of a MIDI file, the log lines' pieces and
// the opening comment of a score. Callers convert to Shift-JIS with Sjis() where bytes of a
// score are needed.
namespace import_messages {

// Faults of the file; the log line puts the byte offset before them.
constexpr const char* kNotMidi = "MIDI ファイルではありません（MThd がありません）。";
constexpr const char* kBadHeader = "MThd の長さが正しくありません。";
constexpr const char* kFormat2 = "フォーマット 2 の MIDI ファイルには対応していません。";
constexpr const char* kBadFormat = "MIDI ファイルのフォーマットが正しくありません。";
constexpr const char* kBadDivision = "MIDI ファイルの分解能が正しくありません。";
constexpr const char* kNoTrack = "トラック（MTrk）が足りません。";
constexpr const char* kTruncated = "ファイルが途中で切れています。";
constexpr const char* kLongNumber = "可変長の数値が長すぎます。";
constexpr const char* kNoStatus = "ステータスのないデータバイトがあります。";
constexpr const char* kBadData = "データバイトが 0x7F を超えています。";
constexpr const char* kBadStatus = "トラック内で使えないステータスです。";
constexpr const char* kBadTempo = "テンポが 0 です。";
constexpr const char* kTooManyNotes = "音符が多すぎます（50000 個まで）。";
constexpr const char* kTooManyControls = "イベントが多すぎます。";
constexpr const char* kTooLong = "曲が長すぎます（60 分まで）。";
constexpr const char* kNoNotes = "音符がありません。";

// Log lines, after the file's name.
constexpr const char* kWritten = " は正しく書き出されました。";
constexpr const char* kWrittenPartly = " は書き出されました。";
constexpr const char* kKeptHead = "音符 ";         // + total
constexpr const char* kKeptMiddle = " 個のうち ";  // + kept
constexpr const char* kKeptTail = " 個を残しました。";
constexpr const char* kDrumsLeftOut = "MA1 にはドラムがないためドラムの音符を省きました。";
constexpr const char* kExists = " はすでにあるため書き出しませんでした。";
constexpr const char* kNotConverted = " は変換できませんでした。";
constexpr const char* kByte = " バイト目: ";
constexpr const char* kOpenFailed = " ファイルのオープンに失敗しました。";
constexpr const char* kWriteFailed = " ファイルの書き込みに失敗しました。";
constexpr const char* kSourceKept = " は元の MIDI ファイルなので上書きしませんでした。";

// The opening comment of a score.
constexpr const char* kCommentHead = "; MIDI ファイル ";  // + name
constexpr const char* kCommentFrom = " から作った楽譜です（";
constexpr const char* kCommentTail = "）。";
constexpr const char* kCommentChannel = "; MIDI チャンネル ";
constexpr const char* kCommentArrow = " → パート ";
constexpr const char* kCommentRhythm = "（リズム）";
constexpr const char* kCommentDrumVoices = "（ドラム音色）";
constexpr const char* kCommentDropped = "; 省いた音符:";
constexpr const char* kCommentNone = "; 省いた音符はありません。";
constexpr const char* kCommentLines = " 声部、音符 ";  // lines of a channel that got no part
constexpr const char* kCommentNotesHead = "音符 ";
constexpr const char* kCommentNotes = " 個";
constexpr const char* kCommentNoParts = "（パートが足りないため）";
constexpr const char* kCommentNoDrums = "（MA1 にはドラムがないため）";
constexpr const char* kCommentRange = "（ドラム音色のない音）";
constexpr const char* kCommentNoVoice = "（音色が足りないため）";
constexpr const char* kCommentMerged = "（同じチャンネルで同時に打たれた同じ音を一つにしたため）";

}  // namespace import_messages

#endif  // QUAVREX_MIDI_IMPORT_IMPORT_MESSAGES_H_
