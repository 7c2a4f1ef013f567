// Shell links (".lnk" files) through the shell's link object, the user's shell folders, and the
// clean-up of the links that earlier versions of the product left on the desktop and in the
// Start menu. COM must be initialised on the calling thread; each call creates and releases
// its own link object, so nothing is shared between calls.
#pragma once
#include <windows.h>
#include <shlobj.h>

// The product files whose links are pruned, spelled in lower case.
extern const char* const productLinkTargets[5];

// Saves the link "folder\name.lnk" (folder without trailing backslash). The properties are set
// in this order, each only when given (texts: not null and not empty): the item list, the
// target path, the description (name, so the link's comment equals its file name), the
// arguments, the show command (always), the working folder, and the icon file with iconIndex
// (the index alone is never set). Returns 1 when the file was saved, and then announces it to
// the shell (SHCNE_CREATE); 0 when the link object is missing, the save failed, or a path would
// not fit in 259 characters (the link path, target, working folder or icon file): such a link
// is not made at all, never made with a shortened path.
int CreateShellLink(const char* folder, const char* name, const char* target, const char* workingFolder,
                    const char* arguments, int showCommand, const char* iconFile, int iconIndex,
                    LPCITEMIDLIST itemList);

// Loads the link file at linkPath and resolves it without any user interface (300 ms at most)
// into target (MaxPathText bytes). Returns 1 with the target's path, 0 when the link cannot be
// loaded or resolved or names no file system path (target is then empty).
int ResolveShellLink(const char* linkPath, char* target);

// The folder of the shell's special folder csidl (CSIDL_DESKTOPDIRECTORY, ...) without a
// trailing backslash, into path (MaxPathText bytes). Returns 1 when the folder has a path.
int GetShellFolderPath(int csidl, char* path);

// The removal test for earlier versions' links: 1 for the user's Desktop and Start Menu
// folders (as the shell names them: CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU) and for a file
// directly in one of them; 0 for anything else: the Startup folder (a product link there is the
// user's own choice to start the product with Windows), subfolders, other places. Letter case
// and one trailing backslash do not count.
int IsOutdatedShortcutPlace(const char* path);

// Visits the "Desktop", "Start Menu" and "Startup" folders named under the current user's
// "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders" and prunes product links
// (PruneProductLinks) in those that pass the removal test. Reads SetupState.installFolder;
// uses RegistryCursor and leaves it closed. Nothing is reported.
void RemoveOutdatedShortcuts();

// Deletes the ".lnk" files (the extension in any letter case) directly in folder whose target
// resolves to installFolder\NAME for a NAME of productLinkTargets (letter case ignored), each
// only when its path passes the removal test. Subfolders, other files, links that do not
// resolve and links to other files stay.
void PruneProductLinks(const char* folder, const char* installFolder);
