// A folder of its own under /tmp for one host test's files; the destructor removes it with all
// it holds. Portable (POSIX).
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

struct ScratchFolder {
  std::filesystem::path folder;
  // The folder is /tmp/STEM-XXXXXX, the X made unique by mkdtemp.
  explicit ScratchFolder(const std::string& stem) {
    std::string pattern = "/tmp/" + stem + "-XXXXXX";
    folder = mkdtemp(pattern.data());
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
};
