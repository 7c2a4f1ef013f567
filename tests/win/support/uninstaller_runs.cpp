#include "support/uninstaller_runs.h"

#include <gtest/gtest.h>

#include "registry/uninstall_entry.h"
#include "support/setup_session.h"

HWND WaitForUninstallerBox(const char* part, DWORD timeoutMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
    HWND box = FindTopWindow(UninstallerCaption);
    if (box != nullptr && MessageText(box).find(part) != std::string::npos) return box;
    Sleep(100);
  }
  return nullptr;
}

void AnswerBox(HWND box, int button) {
  ASSERT_TRUE(ClickControl(box, button));
  ASSERT_TRUE(WaitForWindowGone(box, UninstallerBoxWaitMs));
}

std::string UninstallFromTheListOfPrograms(const char* finalPart) {
  LaunchedProgram list;
  if (!LaunchCommandLine("uninstaller.exe --remove Tarnwick5.0", nullptr, list)) return "<not started>";
  HWND question = WaitForUninstallerBox("Do you want to remove");
  if (question == nullptr) return "<no question>";
  AnswerBox(question, IDYES);
  HWND result = WaitForUninstallerBox(finalPart);
  if (result == nullptr) return "<no final message>";
  std::string text = MessageText(result);
  AnswerBox(result, IDOK);
  return text;
}

std::string UninstallEntryCommand() {
  return ReadRegistryText(HKEY_LOCAL_MACHINE, UninstallEntryPath, "UninstallString");
}

bool SetPrefixVersion(const char* version) {
  if (version != nullptr) return PutRegistryText(HKEY_CURRENT_USER, "Software\\Wine", "Version", version);
  DeleteRegistryValue(HKEY_CURRENT_USER, "Software\\Wine", "Version");
  return true;
}
