#include "install/install_worker.h"

#include "common/format_text.h"
#include "install/active_run.h"
#include "install/create_folder_path.h"
#include "install/finishing_steps.h"
#include "install/payload_catalogue.h"
#include "install/progress_weights.h"
#include "install/replace_at_restart.h"
#include "install/write_entry_file.h"
#include "resources/resource_ids.h"
#include "setup/setup_state.h"

namespace {

// The copy error message: IDS_COPY_ERROR (at most 199 characters) with a file name and a folder of at
// most 259 characters each always fits, so shortening is only a guard.
constexpr size_t MessageTextSize = 1024;
// "Copying: " and a file name.
constexpr size_t StatusTextSize = MaxPathText + 64;

// Joins folder and name with "%s\%s". Returns 0 (and an empty path) when the result would not
// fit in a path buffer: such a file is a failed file, never a write under a shortened path.
int JoinPath(char (&path)[MaxPathText], const char* folder, const char* name) {
  int length = FormatText(path, sizeof path, "%s\\%s", folder, name);
  if (length < 0 || static_cast<size_t>(length) >= sizeof path) {
    path[0] = '\0';
    return 0;
  }
  return 1;
}

void SendProgress(uint32_t percent, const char* text) {
  SendMessageA(SetupState.copyPageWindow, WM_SETUP_PROGRESS, percent, reinterpret_cast<LPARAM>(text));
}

void SendEntryProgress(uint32_t percent, const char* fileName) {
  char status[StatusTextSize];
  FormatText(status, sizeof status, LoadText(IDS_COPYING_FILE), fileName);  // a long name is cut, never overrun
  SendProgress(percent, status);
}

// Ends a run that was cancelled or abandoned: the copy page shows "Copy Canceled" at 0.
void ReportRunStopped() {
  SendProgress(0, LoadText(IDS_COPY_CANCELED));
  SendMessageA(SetupState.copyPageWindow, WM_SETUP_DONE, 0, 0);
}

// Removes the help contents and index files that an earlier version left beside its help
// files; Windows Help builds a new index from the new help files when it is next opened.
void RemoveStaleHelpFiles() {
  static const char* const staleNames[] = {"tarnwick.cnt", "tarnwick.gid"};
  for (const char* name : staleNames) {
    char path[MaxPathText];
    if (!JoinPath(path, SetupState.installFolder, name)) continue;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) continue;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
  }
}

// Writes the entry under its own name, or else as NAME.new to replace it at the next restart.
// Returns 1 when one of the two was written.
int InstallEntry(const PayloadEntry& entry) {
  char target[MaxPathText];
  int targetFits = JoinPath(target, SetupState.installFolder, entry.fileName);
  if (targetFits) {
    DeleteFileA(target);  // read-only and hidden files stay; writing them then fails
    if (WriteEntryFile(target, entry)) return 1;
  }

  SetupState.restartNeeded = 1;
  if (!targetFits) return 0;
  // The ".new" goes after the whole name, so the file keeps its own extension in front of it.
  // An existing NAME.new is not removed first: it makes this attempt fail.
  char replacement[MaxPathText];
  int length = FormatText(replacement, sizeof replacement, "%s.new", target);
  if (length < 0 || static_cast<size_t>(length) >= sizeof replacement) return 0;
  if (!WriteEntryFile(replacement, entry)) return 0;
  ReplaceAtRestart(target, replacement);
  return 1;
}

// Shows the copy error message for the entry, owned by the copy page, and returns the answer:
// IDYES (try again), IDNO (skip) or IDCANCEL (abandon; also when the box could not be shown,
// and without a box once the program is ending: the wizard is gone).
int AskAboutFailedEntry(const PayloadEntry& entry) {
  if (ActiveRun.ending) return IDCANCEL;
  char message[MessageTextSize];
  FormatCopyErrorText(message, sizeof message, entry.fileName, SetupState.installFolder);
  int answer = MessageBoxA(SetupState.copyPageWindow, message, LoadText(IDS_COPY_ERROR_CAPTION),
                           MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_TASKMODAL);
  return answer == IDYES || answer == IDNO ? answer : IDCANCEL;
}

}  // namespace

int FormatCopyErrorText(char* buffer, size_t size, const char* fileName, const char* folder) {
  if (size == 0) return 0;
  int length = FormatText(buffer, size, LoadText(IDS_COPY_ERROR), fileName, folder);
  if (length < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<size_t>(length) < size;
}

// The copy page starts this thread with 5000 bytes of stack: that is the committed size, the
// reserve is the program's default, so the weights (1.3 KB) and the message text fit.
DWORD WINAPI InstallWorker(LPVOID) {
  // Only this run's "website.url" may give the group its home-page item: an earlier run (before
  // Back from the options page) may have written one that this run cannot.
  SetupState.websiteShortcutWritten = 0;
  ProgressWeights weights;
  ComputeProgressWeights(weights);
  CreateFolderPath(SetupState.installFolder);

  RemoveVersion4Registrations();
  RemoveStaleHelpFiles();

  int i = 0;
  while (i < PayloadEntryCount) {
    // Read once per entry: a cancel request takes effect between two files.
    if (SetupState.cancelRequested) {
      ReportRunStopped();
      return 0;
    }
    PayloadEntry entry = GetPayloadEntry(i);
    SendEntryProgress(ProgressPercent(weights.cumulativeBefore[i], weights.totalInstalledSize), entry.fileName);
    if (InstallEntry(entry)) {
      ++i;
      continue;
    }
    int answer = AskAboutFailedEntry(entry);
    if (answer == IDYES) continue;  // the same entry again, from the cancel test on
    if (answer == IDNO) {
      ++i;  // the file stays missing
      continue;
    }
    ReportRunStopped();
    EnableWindow(GetDlgItem(GetParent(SetupState.copyPageWindow), IDC_SHEET_CANCEL), TRUE);
    return 0;
  }

  // Not tested from here on (only the program group watches it): a cancel request after the
  // last file does not stop the finishing steps.
  WriteInternetShortcuts();
  CreateProductShortcuts();
  SendProgress(100, LoadText(IDS_UPDATING_REGISTRY));
  RunRegistrationSteps();
  SendMessageA(SetupState.copyPageWindow, WM_SETUP_DONE, 1, 0);
  return 0;
}
