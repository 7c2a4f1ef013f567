// TEMPORARY until the Program Manager client, the uninstall entry and the settings migration are
// merged: empty stand-ins so that the program links. Removed at the merge.
#include <cstddef>
#include <windows.h>
#include <ddeml.h>
#include "install/pending_pieces.h"
#include "shortcuts/progman.h"

void RegisterUninstall() {}
void MigrateVersion3Settings() {}
int ProgmanCommand(const char*) { return 0; }
int ProgmanCreateGroup(const char*, const char*) { return 0; }
int ProgmanDeleteGroup(const char*) { return 0; }
int ProgmanShowGroup(const char*, unsigned) { return 0; }
int ProgmanAddItem(const char*, const char*, const char*, unsigned) { return 0; }
int FormItemCommandLine(char* buffer, size_t, const char*, const char*, const char*) {
  buffer[0] = '\0';
  return 0;
}
void (*ProgmanCommandObserver)(const char*) = nullptr;
