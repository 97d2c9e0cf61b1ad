#ifndef QUAVREX_TESTS_TEMP_FOLDER_H_
#define QUAVREX_TESTS_TEMP_FOLDER_H_

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>

// A folder of its own under /tmp for one test, removed with everything in it.
struct TempFolder {
  std::string path;

  TempFolder() {
    char name[] = "/tmp/quavrex-test-XXXXXX";
    path = mkdtemp(name);
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Writes `bytes` as the file `relative` (its folders created) and returns its full path.
  std::string Put(const std::string& relative, std::string_view bytes) const {
    std::string full = path + "/" + relative;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream(full, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return full;
  }

  // The names of the entries directly inside the folder.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
};

#endif  // QUAVREX_TESTS_TEMP_FOLDER_H_
