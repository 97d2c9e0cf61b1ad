#include "tests/test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "reader/mmf_reader.h"

std::string HexDump(std::string_view bytes) {
  std::string out;
  char buffer[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02X", static_cast<unsigned char>(bytes[i]));
    if (i > 0) {
      out += (i % 16 == 0) ? '\n' : ' ';
    }
    out += buffer;
  }
  return out;
}

std::string HexDump(const Bytes& bytes) {
  return HexDump(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

Bytes FromHex(std::string_view hex) {
  Bytes out;
  std::string digits;
  for (char c : hex) {
    if (c == ' ' || c == '\n') {
      continue;
    }
    digits += c;
    if (digits.size() == 2) {
      out.push_back(static_cast<uint8_t>(std::strtoul(digits.c_str(), nullptr, 16)));
      digits.clear();
    }
  }
  return out;
}

void ExpectSoundMmf(const Bytes& image) {
  const MmfFile file = ReadMmf(image.data(), image.size());
  if (!file.findings.empty()) {
    const Finding& first = file.findings.front();
    char offset[24];
    std::snprintf(offset, sizeof offset, "0x%04zX", first.offset);
    ADD_FAILURE() << "the compiled .MMF is not sound: byte " << offset << ": " << first.text << "\n"
                  << HexDump(image);
  }
}

SeqEvent MakeEvent(int64_t time, int type, EventParams params, int channel) {
  SeqEvent event;
  event.time = time;
  event.params = params;
  event.type = static_cast<uint8_t>(type);
  event.channel = static_cast<int8_t>(channel);
  return event;
}
