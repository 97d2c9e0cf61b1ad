#ifndef QUAVREX_JOB_SCORE_WAVES_H_
#define QUAVREX_JOB_SCORE_WAVES_H_

#include <string>
#include <vector>

#include "job/compile_job.h"

// The wave files that the MA2 score at `path` names in its file list, as native paths: where
// each is found now, or where the score's folder would hold it. Empty in MA1 (which reads no
// file list) and when the score cannot be read or its file list is faulty.
std::vector<std::string> WaveFilesOfScore(const std::string& path, const CompileOptions& options,
                                          CompileServices& services);

#endif  // QUAVREX_JOB_SCORE_WAVES_H_
