// What setup registered for the product, taken out of the registry again.
#pragma once

#include "registry/uninstall_entry.h"

// Calls "DllUnregisterServer" of each of the product's self-registering modules in folder
// (loaded by full path, with SEM_FAILCRITICALERRORS while loaded). A module that is missing or
// lacks the entry is passed over. Must run before the modules' files are deleted.
void UnregisterModules(const char* folder);

// Removes the product's registration, keeping what other programs and the user own:
// - the class identifiers, the document classes "Tarnwick" and "Tarnwick.Archive", the folder
//   and drive verb "Locator...", the "Tarnwick Menu" handlers and the find extension go whole;
// - ".TWC" goes only while its default value still names the product's class; of each archive
//   extension only the default value and "Content Type" go, while they still name the product's
//   class and content type, and the key when nothing else is left in it (what other programs
//   added, and an extension another program took over, stay);
// - "InstallDir" and the update tool's "Tarnwick" value go only while they name folder, the
//   heap option values always; each key they stood in goes when nothing is left in it, and so
//   do its empty parents up to the vendor's key;
// - everything under HKEY_CURRENT_USER (the user's settings and FTP sites) stays, and so does
//   the shell's "UpdateMode", which is the system's own.
// Ends by telling the shell that associations changed. Nothing is reported.
void RemoveProductRegistration(const char* folder);

// Deletes the uninstall entry. The last step of the removal, so that a removal that was
// interrupted can be run again from the list of installed programs.
void RemoveUninstallEntry();

// The "UninstallString" of the product's uninstall entry into command, which holds the longest
// one setup writes; false when the entry or the value is missing or longer.
bool ReadUninstallCommand(char (&command)[UninstallCommandSize]);

// True when the update tool's list of products ("Software\KELM\Patchwell\Products" under
// HKEY_LOCAL_MACHINE) names a product besides this one (a value of another name, a subkey): the
// vendor's shared programs then stay.
bool UpdateToolNamesOtherProducts();
