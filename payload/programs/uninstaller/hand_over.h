// The uninstaller's hand-over to a copy of itself outside the install folder, which it must
// remove, its own file included.
#pragma once

#include "payload/programs/uninstaller/uninstall_arguments.h"

// Leaves the current folder out of the search for libraries loaded by name, and where the
// system offers it keeps that search to the program's own folder and the system folder. Both
// interfaces are looked up at run time: the older systems lack them.
void NarrowLibrarySearch();

// Copies this program into a new folder of an unpredictable name in the temporary folder (made
// for this removal; refused when it exists), as a new file, and starts the copy with the system
// folder as its current folder and "/WAIT:N:TOKEN FOLDER". Then waits until the copy hands back
// its result or ends, and returns true with the result in *exitCode: what the copy handed back,
// or 3 (incomplete) when it ended without a word. False when the copy could not be made or
// started; nothing of it is left then.
bool RunTemporaryCopy(const char* folder, int* exitCode);

// In the copy: takes the hand-over named by arguments. True when the shared memory it names
// holds the same token (which is then wiped, so it serves once); the original's process and
// its event for the result are then known. False for anything else, a command line alone
// included: such a hand-over is refused.
bool AcceptHandOver(const UninstallArguments& arguments);

// In the copy: hands the result to the original, which ends with it, and waits (a while) for its
// end, so that its file can be deleted. Does nothing without a hand-over.
void HandBackResult(int exitCode);

// In the copy: asks for the copy and its folder to be deleted at the next restart.
void DeleteCopyAtRestart();
