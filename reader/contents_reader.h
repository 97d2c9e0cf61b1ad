#ifndef QUAVREX_READER_CONTENTS_READER_H_
#define QUAVREX_READER_CONTENTS_READER_H_

#include <cstddef>

#include "reader/mmf_model.h"
#include "reader/read_context.h"

// Reads the body [start, end) of the contents chunk: five fixed bytes, then "XX:value,"
// fields. A value runs to the first comma that no backslash keeps; the second byte of a
// double-byte character never ends it. Option text that is not in that form is a finding.
void ReadContents(const ReadContext& context, size_t offset, size_t start, size_t end,
                  MmfContents& contents);

#endif  // QUAVREX_READER_CONTENTS_READER_H_
