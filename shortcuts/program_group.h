// The product's Start-menu program group, built through Program Manager's commands on the
// installation worker once the files are in place.
#pragma once

// Deletes the groups that earlier builds of this version left: text 1 ("Tarnwick Pro 5.0"),
// text 1 with " BETA", and text 55 ("Tarnwick 5.0"). Missing groups are no error.
void RemoveOlderGroups();

// Rebuilds the group text 1 from nothing (RemoveOlderGroups, create, show with 1) and adds its
// items in their fixed order, each "[AddItem(commandLine,caption)]" with the quoted path of a
// file in SetupState.installFolder; the uninstaller's line continues with the folder as its
// argument (FormItemCommandLine). The home-page item ("website.url") is added only when
// SetupState.websiteShortcutWritten is set. An item whose file path would not fit in 259
// characters, or whose command would not fit, is skipped whole; the others are still added.
// SetupState.cancelRequested is tested before each item and after the last: when it is set,
// WM_SETUP_DONE with 0 is sent to SetupState.copyPageWindow and no further item is added (the
// group and the items added so far stay). Nothing is reported otherwise.
void CreateProgramGroup();
