#ifndef QUAVREX_MMF_WAVE_FILES_H_
#define QUAVREX_MMF_WAVE_FILES_H_

#include <cstdint>
#include <string>

#include "core/bytes.h"

// Turns a wave file name as a score's file list writes it (Shift-JIS, "\" between folders)
// into a native path: every backslash that is not the second byte of a double-byte character
// becomes "/", then the bytes are converted to UTF-8.
std::string NativeWavePath(const std::string& sjisName);

// Finds the wave file a score names: first the name as written (relative names from the
// current folder), then the name with one leading "/" dropped inside the score's folder (the
// folder of `sourcePath`, the current folder when it has no "/"). Stores the first path that
// names a regular file which opens for reading in `resolved`; false when neither does.
bool ResolveWaveFile(const std::string& sjisName, const std::string& sourcePath,
                     std::string& resolved);

// Stores the size in bytes of the regular file at `path` in `size`; false when there is no
// such file. A wave's size is checked against the image's limit before it is read.
bool WaveFileSize(const std::string& path, uint64_t& size);

// Reads the whole regular file at `path` into `data`; false when it cannot be opened or read,
// or when it has grown beyond `maxSize` bytes since its size was checked.
bool ReadWaveFile(const std::string& path, Bytes& data, uint64_t maxSize = UINT64_MAX);

#endif  // QUAVREX_MMF_WAVE_FILES_H_
