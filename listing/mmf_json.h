#ifndef QUAVREX_LISTING_MMF_JSON_H_
#define QUAVREX_LISTING_MMF_JSON_H_

#include <string>

#include "reader/mmf_model.h"

// The listing as one JSON object (UTF-8, ending in "\n"); its keys are listed in the README.
// Shift-JIS texts of the file (contents fields) are converted to UTF-8.
std::string MmfJson(const MmfFile& file, const std::string& name);

#endif  // QUAVREX_LISTING_MMF_JSON_H_
