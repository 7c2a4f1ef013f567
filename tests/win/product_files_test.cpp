// The default product's modules are valid images for the Windows loader: each .dll and .ocx on
// P: loads (its entry point runs and returns TRUE) and unloads again. The installer loads five of
// them to self-register them, so a generated module must never fail or crash there.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

TEST(ProductFiles, EveryModuleLoadsAndUnloads) {
  int modules = 0;
  for (const char* pattern : {"P:\\*.dll", "P:\\*.ocx"}) {
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA(pattern, &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << pattern;
    do {
      const std::string path = std::string("P:\\") + found.cFileName;
      SCOPED_TRACE(path);
      const HMODULE module = LoadLibraryA(path.c_str());
      EXPECT_NE(module, nullptr) << "error " << GetLastError();
      if (module != nullptr) {
        EXPECT_TRUE(FreeLibrary(module));
        ++modules;
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  EXPECT_EQ(modules, 262);
}
