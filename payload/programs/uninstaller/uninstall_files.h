// The product's files, its folder and its "My Tarnwick" links removed.
#pragma once

struct FileRemoval {
  int removed = 0;             // files deleted now
  int scheduled = 0;           // files in use, deleted at the next restart
  bool folderRemoved = false;  // the install folder is gone
  bool folderScheduled = false;  // the folder goes at the next restart, after its files
  bool folderKept = false;       // the folder holds files that are not the product's
};

// Called after each file with the count done so far and the total.
using RemovalProgress = void (*)(int done, int total);

// Deletes from folder each file that setup installs (InstalledFileNames), "website.url" and
// "register.url", and a ".new" file that setup left beside any of them. Only these names are
// touched, each joined to folder; a read-only file is made writable first. A file that cannot
// be deleted now (in use) is scheduled for deletion at the next restart (DeleteAtRestart).
void RemoveInstalledFiles(const char* folder, FileRemoval* removal, RemovalProgress progress);

// Removes folder when it is empty. When it holds nothing but files scheduled for deletion, the
// folder is scheduled too on the NT family (the 9x start-up deletes files only, so there the
// empty folder stays). Files the user added keep the folder: folderKept.
void RemoveInstallFolder(const char* folder, FileRemoval* removal);

// Deletes "My Tarnwick.lnk" on the user's desktop and in the Start menu when the link resolves
// to folder\TWExplo.exe; a link of that name to anything else stays. COM must be initialised.
void RemoveProductLinks(const char* folder);
