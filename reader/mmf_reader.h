#ifndef QUAVREX_READER_MMF_READER_H_
#define QUAVREX_READER_MMF_READER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "reader/mmf_model.h"

// Reads the bytes of an .MMF file into its model. Never fails and never reads outside the
// buffer: every fault becomes a finding with its offset and the parser goes on where it can
// (the file is then only partly described). Memory grows with the size of the file only.
MmfFile ReadMmf(const uint8_t* data, size_t size);

// The same reading with the same findings, but the events of the sequences and the bytes of
// the waves are checked and not kept (for --verify, where only the findings count).
MmfFile CheckMmf(const uint8_t* data, size_t size);

// True when the file holds no finding at all.
bool IsSound(const MmfFile& file);

// The data bytes (F7 included) of an exclusive of no known kind; empty for any other event.
std::span<const uint8_t> ExclusiveData(const MmfFile& file, const MmfEvent& event);

// Which absolute channels (0-15) of the score tracks select a voice anywhere in the file (a
// voice or program change event). An MA2 part that never selects one, such as the rhythm part
// on channel 9, plays without a voice of its own.
std::array<bool, 16> ChannelsSelectingVoice(const MmfFile& file);

#endif  // QUAVREX_READER_MMF_READER_H_
