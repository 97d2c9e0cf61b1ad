#include "synth/wav_file.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>

namespace {

// libsndfile writes through these callbacks into a growing byte vector. It seeks back to fill
// in the header's sizes once the samples are written, so the vector is a random-access file.
struct MemoryFile {
  std::vector<uint8_t>* bytes;
  sf_count_t position = 0;
};

sf_count_t Length(void* user) {
  return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes->size());
}

sf_count_t Seek(sf_count_t offset, int whence, void* user) {
  auto* file = static_cast<MemoryFile*>(user);
  const sf_count_t base = whence == SEEK_CUR   ? file->position
                          : whence == SEEK_END ? Length(user)
                                               : 0;
  if (base + offset < 0) {
    return -1;
  }
  file->position = base + offset;
  return file->position;
}

sf_count_t Read(void* out, sf_count_t count, void* user) {
  auto* file = static_cast<MemoryFile*>(user);
  const sf_count_t available = std::max<sf_count_t>(0, Length(user) - file->position);
  const sf_count_t taken = std::min(count, available);
  if (taken > 0) {
    std::memcpy(out, file->bytes->data() + file->position, static_cast<size_t>(taken));
  }
  file->position += taken;
  return taken;
}

sf_count_t Write(const void* in, sf_count_t count, void* user) {
  auto* file = static_cast<MemoryFile*>(user);
  const auto end = static_cast<size_t>(file->position + count);
  if (end > file->bytes->size()) {
    file->bytes->resize(end);
  }
  std::memcpy(file->bytes->data() + file->position, in, static_cast<size_t>(count));
  file->position += count;
  return count;
}

sf_count_t Tell(void* user) { return static_cast<MemoryFile*>(user)->position; }

}  // namespace

bool EncodeWav(const std::vector<int16_t>& samples, int rate, std::vector<uint8_t>& bytes) {
  bytes.clear();
  bytes.reserve(samples.size() * sizeof(int16_t) + 64);
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SF_VIRTUAL_IO io{Length, Seek, Read, Write, Tell};
  MemoryFile file{&bytes};
  SNDFILE* sound = sf_open_virtual(&io, SFM_WRITE, &info, &file);
  if (sound == nullptr) {
    return false;
  }
  const auto count = static_cast<sf_count_t>(samples.size());
  const bool written = sf_write_short(sound, samples.data(), count) == count;
  if (sf_close(sound) != 0 || !written) {
    bytes.clear();
    return false;
  }
  return true;
}
