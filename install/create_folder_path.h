// Creation of the install folder with every missing folder above it.
#pragma once

// Creates path and each missing folder above it, outermost first, with CreateDirectoryA.
// Reports nothing: an existing folder, a drive root or a share name that cannot be created is
// passed over, and a folder that cannot be created simply stays missing. A path of fewer than
// 4 characters (a drive, a drive root) creates nothing, and so does a path of more than 259
// characters. Backslashes are the only separators.
void CreateFolderPath(const char* path);
