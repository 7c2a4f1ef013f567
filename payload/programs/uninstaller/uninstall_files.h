// The product's files, its folder and its "My Tarnwick" links removed.
#pragma once

// The programs that prove an installation: the uninstaller accepts a folder that holds either,
// and they go last, so that a removal that was interrupted can be run again.
inline constexpr char ExplorerFile[] = "TWExplo.exe";
inline constexpr char UninstallerFile[] = "UnInstal.exe";

// Files of one kind, counted, with the first few names for the final message.
struct FileList {
  int count = 0;
  char names[200] = "";  // "a, b, c" (the first names that fit; "..." after them when more)
};

struct FileRemoval {
  int removed = 0;      // files deleted now
  int scheduled = 0;    // files in use, deleted at the next restart
  FileList readOnly;    // read-only files, left as they are: setup never writes over one
  FileList remaining;   // files that could be neither deleted nor scheduled
  bool sharedKept = false;       // the vendor's shared programs stay for its other products
  bool folderRemoved = false;    // the install folder is gone
  bool folderScheduled = false;  // the folder goes at the next restart, after its files
  bool folderKept = false;       // the folder holds files that are not the product's
  bool folderRemains = false;    // nothing of the user's in it, yet it could not be removed
};

// Called after each file with the count done so far and the total.
using RemovalProgress = void (*)(int done, int total);

// Deletes from folder each file that setup installs (InstalledFileNames) but the two programs
// above, "website.url" and "register.url", and a ".new" file that setup left beside any of them.
// Only these names are touched, each joined to folder. A read-only file is left (readOnly); the
// vendor's shared programs are left when keepShared is set (sharedKept). A file that cannot be
// deleted now (in use) is scheduled for deletion at the next restart (DeleteAtRestart), and
// counted in remaining when that is refused too.
void RemoveInstalledFiles(const char* folder, bool keepShared, FileRemoval* removal, RemovalProgress progress);

// Deletes folder\name (and a ".new" file beside it) the same way.
void RemoveProgramFile(const char* folder, const char* name, FileRemoval* removal);

// Removes folder when it is empty. When it holds nothing but product files scheduled for
// deletion, or nothing at all yet cannot be removed (another program's current folder), the
// folder is scheduled too on the NT family (the 9x start-up deletes files only, so there it
// stays); folderRemains when that is not possible. Files the user added keep the folder:
// folderKept. Product files that stay (read-only, shared, remaining) keep it without a word.
void RemoveInstallFolder(const char* folder, FileRemoval* removal);

// Deletes "My Tarnwick.lnk" on the user's desktop and in the Start menu when the link resolves
// to folder\TWExplo.exe; a link of that name to anything else stays. COM must be initialised.
void RemoveProductLinks(const char* folder);
