// Folder creation on the test prefix's own small drive Q: (empty at the start of each test).
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "install/create_folder_path.h"

namespace {

// Every folder and file on Q:, as full paths, "/" appended to files.
void ListTree(const std::string& folder, std::set<std::string>& out) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = folder + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out.insert(path);
      ListTree(path, out);
    } else {
      out.insert(path + "/");
    }
  } while (FindNextFileA(find, &found));
  FindClose(find);
}
std::set<std::string> DriveQ() {
  std::set<std::string> out;
  ListTree("Q:", out);
  return out;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = folder + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(path);
      RemoveDirectoryA(path.c_str());
    } else {
      DeleteFileA(path.c_str());
    }
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

void WriteFile(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// "Q:\" followed by folder names of the given length until the path has total characters.
std::string PathOfLength(size_t total, size_t segment) {
  std::string path = "Q:";
  while (path.size() < total) {
    path += '\\';
    path += std::string(std::min(segment, total - path.size()), 's');
  }
  return path;
}

TEST(CreateFolderPath, CreatesEachMissingLevel) {
  const std::string path259 = PathOfLength(259, 40);
  ASSERT_EQ(path259.size(), 259u);
  std::set<std::string> levels259;
  for (size_t i = 3; i <= path259.size(); ++i)
    if (i == path259.size() || path259[i] == '\\') levels259.insert(path259.substr(0, i));

  struct Case {
    std::string path;
    std::set<std::string> folders;  // everything on Q: afterwards
  };
  const Case cases[] = {
      {"Q:\\Tarnwick", {"Q:\\Tarnwick"}},
      {"Q:\\Program Files\\Tarnwick", {"Q:\\Program Files", "Q:\\Program Files\\Tarnwick"}},
      {"Q:\\A\\B\\", {"Q:\\A", "Q:\\A\\B"}},  // a trailing backslash creates the same folders
      {"Q:\\A", {"Q:\\A"}},                    // 4 characters: only that folder
      {"Q:\\", {}},                            // a drive root creates nothing
      {"Q:", {}},
      {"", {}},
      {"Q:\\A\\\\B", {"Q:\\A", "Q:\\A\\B"}},   // adjacent backslashes
      {"Q:\\A\\\\\\B\\\\", {"Q:\\A", "Q:\\A\\B"}},
      {"Q:\\L1\\L2\\L3\\L4\\L5\\L6\\L7",
       {"Q:\\L1", "Q:\\L1\\L2", "Q:\\L1\\L2\\L3", "Q:\\L1\\L2\\L3\\L4", "Q:\\L1\\L2\\L3\\L4\\L5",
        "Q:\\L1\\L2\\L3\\L4\\L5\\L6", "Q:\\L1\\L2\\L3\\L4\\L5\\L6\\L7"}},
      {path259, levels259},
      {PathOfLength(260, 40), {}},  // too long for a path buffer: nothing at all
      {PathOfLength(600, 40), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("path \"" + c.path + "\" of " + std::to_string(c.path.size()) + " characters");
    RemoveTree("Q:");
    ASSERT_TRUE(DriveQ().empty());
    CreateFolderPath(c.path.c_str());
    std::set<std::string> expected;
    for (const std::string& folder : c.folders)
      if (folder.size() > 3) expected.insert(folder);  // "Q:\" itself is not listed
    EXPECT_EQ(DriveQ(), expected);
  }
}

TEST(CreateFolderPath, LeavesAnExistingFolderAndItsContents) {
  ASSERT_TRUE(CreateDirectoryA("Q:\\Existing", nullptr));
  ASSERT_TRUE(CreateDirectoryA("Q:\\Existing\\Sub", nullptr));
  WriteFile("Q:\\Existing\\file.txt", "contents");
  WriteFile("Q:\\Existing\\Sub\\inner.txt", "inner");
  const std::set<std::string> before = DriveQ();

  CreateFolderPath("Q:\\Existing");
  CreateFolderPath("Q:\\Existing\\");
  CreateFolderPath("Q:\\Existing\\Sub");
  EXPECT_EQ(DriveQ(), before);
}

TEST(CreateFolderPath, AFileInThePathStaysAndNothingBelowItIsMade) {
  WriteFile("Q:\\Plain.txt", "a file, not a folder");
  CreateFolderPath("Q:\\Plain.txt\\Sub\\Deeper");
  EXPECT_EQ(DriveQ(), (std::set<std::string>{"Q:\\Plain.txt/"}));
}

TEST(CreateFolderPath, DoesNotChangeTheCallersText) {
  char path[] = "Q:\\Outer\\Inner\\";
  CreateFolderPath(path);
  EXPECT_STREQ(path, "Q:\\Outer\\Inner\\");
  EXPECT_TRUE(IsFolder("Q:\\Outer\\Inner"));
}

// Random paths (fixed seed) of 1 to 8 levels, with doubled and trailing backslashes: afterwards
// the path is a folder.
TEST(CreateFolderPath, RandomPathsEndAsFolders) {
  std::mt19937 random(4711);
  for (int round = 0; round < 60; ++round) {
    std::string path = "Q:\\R" + std::to_string(round);
    int levels = 1 + static_cast<int>(random() % 8);
    for (int level = 0; level < levels; ++level) {
      path += random() % 4 == 0 ? "\\\\" : "\\";
      int length = 1 + static_cast<int>(random() % 24);
      for (int i = 0; i < length; ++i) path += "abcdefgh XYZ_-0123456789"[random() % 24];
      if (path.back() == ' ') path.back() = 'e';  // a name never ends in a blank
    }
    if (random() % 3 == 0) path += "\\";
    SCOPED_TRACE(path);
    CreateFolderPath(path.c_str());
    EXPECT_TRUE(IsFolder(path));
  }
}

}  // namespace
