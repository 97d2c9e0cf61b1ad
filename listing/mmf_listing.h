#ifndef QUAVREX_LISTING_MMF_LISTING_H_
#define QUAVREX_LISTING_MMF_LISTING_H_

#include <string>

#include "reader/mmf_model.h"

// The readable listing of a read file (UTF-8, lines ending in "\n"): the chunk tree with
// offsets and sizes, the contents fields, each track's voice records as the definitions that
// recreate them and its events one per line, the waves, the CRC check and the findings.
// `name` heads it.
std::string MmfListing(const MmfFile& file, const std::string& name);

// One line for --verify, without its "\n": "name: sound", or "name: " + the first finding.
std::string VerifyLine(const MmfFile& file, const std::string& name);

// A finding in words with its offset: "byte 0x0123: stored CRC ...".
std::string FindingText(const Finding& finding);

#endif  // QUAVREX_LISTING_MMF_LISTING_H_
