#ifndef QUAVREX_LISTING_VOICE_DEFINITION_H_
#define QUAVREX_LISTING_VOICE_DEFINITION_H_

#include <string>

#include "reader/mmf_model.h"

// The voice-block definition that recreates `voice` when pasted into a score's D block:
// "W@n,..." or "W4@n,..." when the named fields say everything the record holds, otherwise
// "X@n,..." or "X4@n,..." with the raw bytes; "Z@n,..." for MA1 records. Returns an empty
// text when no definition can recreate the record (a voice number a score cannot define, a
// record of the wrong length or without its F7, an exclusive of no known kind).
std::string VoiceDefinition(const VoiceRecord& voice);

// Why VoiceDefinition gives no text for `voice`, for the listing; empty when it gives one.
std::string WhyNoDefinition(const VoiceRecord& voice);

#endif  // QUAVREX_LISTING_VOICE_DEFINITION_H_
