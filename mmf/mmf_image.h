#ifndef QUAVREX_MMF_MMF_IMAGE_H_
#define QUAVREX_MMF_MMF_IMAGE_H_

#include <map>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/compile_fault.h"
#include "frontend/split_score.h"
#include "sequence/compiled_tracks.h"
#include "voices/voice_definitions.h"

// The setup chunk of the voices a tune selects, and (MA2) the voice slot each took.
struct SetupChunk {
  Bytes bytes;                      // empty: the file carries no setup chunk
  std::map<int, int> voiceSlotOf;   // voice key -> chip voice slot (MA2)
  std::map<int, int> voiceSlotUse;  // voice number -> slots holding a voice of that number
};

// Builds the setup chunk of `usedVoices` (sorted, once each). MA1 carries the voices only
// with the voice-setup option; MA2 always, and fails when they need more than 16 slots.
StageResult<SetupChunk> BuildSetupChunk(const std::vector<int>& usedVoices,
                                        const VoiceDefinitions& voices, int format,
                                        bool voiceSetup);

// Assembles the whole file: contents, score tracks, (MA2) the audio track with the bytes of
// every wave the A part played, found beside `sourcePath`; chunk sizes and CRC filled, the
// trailer 1D 0F last. Fails without notes, with a wave that cannot be found or read, or past
// the image cap.
StageResult<Bytes> BuildMmf(const SplitScore& score, const CompiledTracks& tracks,
                            const SetupChunk& setup, const std::string& sourcePath);

#endif  // QUAVREX_MMF_MMF_IMAGE_H_
