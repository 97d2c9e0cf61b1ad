#ifndef QUAVREX_MMF_CHUNK_SIZES_H_
#define QUAVREX_MMF_CHUNK_SIZES_H_

#include <cstddef>
#include <vector>

#include "core/bytes.h"

// Fills the size field of every chunk of an image assembled with zero sizes.
//
// `chunkOffsets` lists, in ascending order, where the writer put the tag of each chunk below
// the file header (contents chunk, tracks, their sub-chunks). The tag at an offset tells its
// level: "CNTI", "MTR" + 0-4 and "ATR" + 0 are top-level chunks, any other tag is a
// sub-chunk of the track before it. A chunk ends where the next chunk of its level or above
// begins, or where the data ends (before the CRC and, when present, the trailer 1D 0F). The
// positions come from the writer, so sequence or wave bytes that happen to spell a tag never
// cut a chunk short. Every size is written as 32-bit big-endian. An image that does not start
// with "MMMD" is left unchanged.
void FixChunkSizes(Bytes& image, const std::vector<size_t>& chunkOffsets);

#endif  // QUAVREX_MMF_CHUNK_SIZES_H_
