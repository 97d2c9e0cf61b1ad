#ifndef QUAVREX_SYNTH_SCORE_FROM_MODEL_H_
#define QUAVREX_SYNTH_SCORE_FROM_MODEL_H_

#include "reader/mmf_model.h"
#include "synth/render_score.h"

// Turns the model of an .MMF into the renderer's calls:
// - Every channel plays the voice it last selected: the setup chunk's record for that voice
//   when the file carries one, else the built-in MA2 record (4-operator voices have none and
//   stay silent). A channel that has selected nothing plays voice 0.
// - MA2's rhythm part (channel 9 when it never selects a voice) sounds, for each note n, the
//   drum voice of note n at the pitch of note n.
// - MA1 channels take the built-in MA2 record of their voice number: MA1 records are not
//   public, so this is an approximation.
// - Notes take the F-number table that frequency-mode notes use; frequency notes sound their
//   own F-number and block; the audio track's waves are decoded and played at its notes.
// Whatever the model could not read is simply not played.
RenderScore ScoreFromModel(const MmfFile& file);

#endif  // QUAVREX_SYNTH_SCORE_FROM_MODEL_H_
