#ifndef QUAVREX_READER_CONTENTS_READER_H_
#define QUAVREX_READER_CONTENTS_READER_H_

#include <cstddef>

#include "reader/mmf_model.h"
#include "reader/read_context.h"

// Reads the body [start, end) of the contents chunk: five fixed bytes, then "XX:value,"
// fields. A value runs to the comma that ends the text or comes before the next "XX:"; a
// comma elsewhere is part of the value (ContentsField::bareComma). Option text that is not in
// that form is a finding; whatever the compiler writes is in it.
void ReadContents(const ReadContext& context, size_t offset, size_t start, size_t end,
                  MmfContents& contents);

#endif  // QUAVREX_READER_CONTENTS_READER_H_
