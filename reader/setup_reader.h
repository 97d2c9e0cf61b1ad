#ifndef QUAVREX_READER_SETUP_READER_H_
#define QUAVREX_READER_SETUP_READER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "reader/mmf_model.h"
#include "reader/read_context.h"

// Reads the exclusives of a setup chunk "Mtsu" in [start, end) into the track's voice records
// (and its MA1 opening value). A byte that starts no exclusive, or an exclusive cut off by the
// end of the chunk, is a finding that ends the chunk.
void ReadSetup(const ReadContext& context, size_t start, size_t end, ScoreTrack& track);

// Decodes the named fields of one operator: the five bytes at `group`.
OperatorFields DecodeOperatorFields(const uint8_t* group);

// Decodes the named fields of an MA2 record (header byte, second byte, 5 bytes per operator).
// `operatorCount` is 2 or 4; the record must hold 2 + 5 * operatorCount bytes.
void DecodeMa2Fields(const std::vector<uint8_t>& record, int operatorCount, VoiceRecord& voice);

#endif  // QUAVREX_READER_SETUP_READER_H_
