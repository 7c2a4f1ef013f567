// The test prefix itself: the drives that the tests rely on, and a private registry.
#include <windows.h>
#include <gtest/gtest.h>

TEST(TestPrefix, DrivesAreMapped) {
  struct Drive { const char* root; const char* what; };
  const Drive drives[] = {
      {"S:\\", "the test programs"}, {"P:\\", "the product files"},
      {"T:\\", "the test artifacts"}, {"Q:\\", "the small drive"}, {"C:\\", "the system drive"}};
  for (const Drive& d : drives) {
    SCOPED_TRACE(d.what);
    EXPECT_NE(GetFileAttributesA(d.root), INVALID_FILE_ATTRIBUTES) << d.root;
  }
}

TEST(TestPrefix, SmallDriveIsSmall) {
  ULARGE_INTEGER available, total, free;
  ASSERT_TRUE(GetDiskFreeSpaceExA("Q:\\", &available, &total, &free));
  EXPECT_LE(total.QuadPart, 8u * 1024 * 1024);
}

TEST(TestPrefix, EachTestHasItsOwnRegistry) {
  // A key left by another test would show here: every test starts from the template.
  HKEY key;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\TarnwickHarnessProbe", 0, KEY_READ, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\TarnwickHarnessProbe", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(TestPrefix, DisplayIsAvailable) {
  EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
  HWND window = CreateWindowExA(0, "STATIC", "probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  DestroyWindow(window);
}
