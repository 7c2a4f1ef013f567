// The archive associations and shell extensions: the archive document class "Tarnwick.Archive",
// the archive extensions that point at it, the shell extension library under its three class
// identifiers, the search tool's verb on folders and drives, and the find extension.
#pragma once

// The class identifiers, upper case with braces.
inline constexpr char ExtensionClassId[] = "{5C3A9E41-2B7D-11d3-8F14-0040A7C2E51B}";  // menu and drag-drop handler
inline constexpr char ArchiveClassId[] = "{5C3A9E42-2B7D-11d3-8F14-0040A7C2E51B}";    // the archive document class
inline constexpr char LocatorClassId[] = "{5C3A9E43-2B7D-11d3-8F14-0040A7C2E51B}";    // the find extension

inline constexpr char ArchiveProgId[] = "Tarnwick.Archive";
inline constexpr char FindExtensionsStatic[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FindExtensions\\Static";

// One archive extension and the content type it gets.
struct ArchiveType {
  const char* extension;    // ".zip"
  const char* contentType;  // "application/zip"
};
// The archive extensions in the order they are written: the first one (".zip") is written when
// associateZip is set, the other fifteen when associateOthers is set.
extern const ArchiveType ArchiveTypes[16];

// Writes the whole layout through AssociationCursor (every value REG_SZ but "UpdateMode", one
// REG_BINARY byte 1 written on every run), installFolder being the install folder without a
// trailing backslash. Each chosen extension key under HKEY_CLASSES_ROOT is deleted with
// everything below it and written anew; with both flags clear no extension key is touched and
// the rest is still written. contextMenus adds the context-menu handlers of all files and of
// folders. A key whose parent is missing is not created and its values are skipped (nothing is
// reported). Ends by telling the shell that associations changed, and leaves the cursor closed.
// Returns 1.
int RegisterAssociations(const char* installFolder, int contextMenus, int associateZip, int associateOthers);
