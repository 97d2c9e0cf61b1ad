#ifndef QUAVREX_LISTING_EVENT_TEXT_H_
#define QUAVREX_LISTING_EVENT_TEXT_H_

#include <string>

#include "reader/mmf_model.h"

// A note number as a score writes it: 60 is "O4 C", 61 "O4 C#" (octave = note / 12 - 1).
std::string NoteName(int note);

// Short name of an event kind, the "kind" of the JSON form: "note", "voice", ...
const char* EventKindName(MmfEventKind kind);

// What an event of `file` does, in words: "note O4 C# gate 120 (0.480 s)", "voice 3 (bank
// 0x00, program 3)", "volume 96", ...
std::string EventText(const MmfFile& file, const MmfEvent& event);

// Milliseconds as seconds with three decimals: 1500 -> "1.500".
std::string Seconds(int64_t ms);

#endif  // QUAVREX_LISTING_EVENT_TEXT_H_
