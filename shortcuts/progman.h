// Program Manager's DDE command interface: service and topic "PROGMAN", which the Windows shell
// answers. A group is a folder of the Start menu's Programs, an item a shortcut in the group
// last created or shown. Each command runs in a DDE instance and conversation of its own, opened
// and closed on the calling thread, so any thread may send one; nothing survives between commands.
//
// Everything is silent: no message is shown, and a command that cannot be delivered (DDE cannot
// be initialised, no server answers "PROGMAN", the execute is refused or times out after
// 1000 ms) is lost. The result (1 when Program Manager carried the command out, 0 otherwise) is
// there for those who want to know; the setup's own callers go on to their next step whatever it is.
#pragma once
#include <windows.h>
#include <ddeml.h>

#include <cstddef>

#include "setup/setup_state.h"

// The longest item command line the program forms: a quoted file in a 259-character install
// folder followed by that folder again, quoted, as the file's argument.
constexpr size_t ItemCommandLineSize = 2 * MaxPathText + 48;
// A command is formed in this buffer; it holds the longest command the program sends (the
// four-argument item with the longest command line, a string-table caption of 199 characters,
// a 259-character icon file and a five-digit number). A command that would not fit is refused
// whole: nothing of it is sent.
constexpr size_t ProgmanCommandSize = 1152;
static_assert(ProgmanCommandSize >= sizeof "[AddItem(,,,65535)]" + (ItemCommandLineSize - 1) + 199 + (MaxPathText - 1));

// Delivers one command text to Program Manager: DdeInitializeA (client only), a conversation on
// "PROGMAN", one XTYP_EXECUTE of the text with its terminating zero and a time-out of 1000 ms,
// then DdeDisconnect and DdeUninitialize. Without a server it returns after the connection
// attempt; when the name "PROGMAN" gets no string handle it connects to nothing (a null name
// would reach any server) and returns 0. Returns 1 when the execute was acknowledged, else 0.
int ProgmanCommand(const char* command);

// A null or empty group name sends nothing (result 0): the shell would take it for the Programs
// folder itself.
// "[CreateGroup(name,groupFile)]", or "[CreateGroup(name)]" when groupFile is null or empty.
// Creating an existing group keeps its items; the group becomes the one items are added to.
int ProgmanCreateGroup(const char* name, const char* groupFile);
// "[DeleteGroup(name)]": the group and all its items go. A missing group is refused by the
// shell (result 0), which is no error to the program.
int ProgmanDeleteGroup(const char* name);
// "[ShowGroup(name,showCommand)]" with the show command's low 16 bits; the group becomes the one
// items are added to.
int ProgmanShowGroup(const char* name, unsigned showCommand);
// "[AddItem(commandLine,caption,iconFile,iconIndex)]" with the icon index's low 16 bits when
// iconFile is present; "[AddItem(commandLine,caption)]" when it is null or empty (the icon index
// is then not sent). The item goes into the group last created or shown. Texts are sent as they
// are: a path in commandLine is quoted by the caller (FormItemCommandLine).
int ProgmanAddItem(const char* commandLine, const char* caption, const char* iconFile, unsigned iconIndex);

// The DDE callback of the client instance: no data, not handled, for every transaction.
HDDEDATA CALLBACK ProgmanCallback(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ item, HDDEDATA data,
                                  ULONG_PTR data1, ULONG_PTR data2);

// Forms an item's command line in buffer (size bytes): "folder\fileName" in double quotes and,
// when argument is not null, one blank and the argument. The argument stands outside the quotes
// as it is, unless it holds one of , ( ) [ ] which Program Manager reads as command syntax: then
// it is enclosed in double quotes, so it can neither split the item nor end the command.
// Returns 1, or 0 with the buffer empty when the line would not fit (nothing shortened).
int FormItemCommandLine(char* buffer, size_t size, const char* folder, const char* fileName, const char* argument);

// Test seam: when set, ProgmanCommand hands it each command text it is about to execute, once the
// conversation with Program Manager is open (so a command never sees it when no server answered).
extern void (*ProgmanCommandObserver)(const char* command);
