// Writing one catalogue entry into one new file.
#pragma once
#include "install/payload_catalogue.h"

// Creates targetPath as a new file (CREATE_NEW, no sharing: an existing file is never opened or
// overwritten) and fills it with the entry's data: a stored entry (method 0) with one write of
// exactly its compressed size, any other through InflateEntry.
// Returns 1 when the file was created, every byte was written, and the CRC-32 and size of what
// was written equal those in the entry's local header; otherwise 0. A file that this call
// created is closed and deleted again on failure, so a failed write leaves no partly written
// or wrong file under targetPath; a file that already existed is left as it was.
// While the file is being written its path and handle are noted in ActiveRun (active_run.h),
// so that a program ending in the middle of it removes the unfinished file.
// Fills and uses InflateStream, so one caller at a time.
int WriteEntryFile(const char* targetPath, const PayloadEntry& entry);
