// The names of the files that setup.exe installs, in catalogue order. Generated at build time
// from the same manifest as the catalogue (tools/catalogue_names.cpp), so the uninstaller
// removes exactly the files that setup writes.
#pragma once

extern const char* const InstalledFileNames[];
extern const int InstalledFileCount;
