// The uninstaller run as a user runs it: through the system's list of installed programs
// (Wine's "uninstaller --remove") or its entry's command, with its message boxes answered.
#pragma once
#include <windows.h>

#include <string>

#include "tools/uidriver/ui_driver.h"

constexpr char UninstallerCaption[] = "Uninstall Tarnwick Pro 5.0";
constexpr DWORD UninstallerBoxWaitMs = 60000;

// A message box of the uninstaller whose text holds part; null when none came in time.
HWND WaitForUninstallerBox(const char* part, DWORD timeoutMs = UninstallerBoxWaitMs);

// Answers the box with button id and waits until it is gone (a fatal failure otherwise).
void AnswerBox(HWND box, int button);

// Starts the uninstaller through the system's list of installed programs, answers Yes and
// returns the text of its final message (answered with OK), which holds finalPart; or
// "<not started>", "<no question>", "<no final message>".
std::string UninstallFromTheListOfPrograms(const char* finalPart = "has been removed");

// The "UninstallString" of the product's entry ("" when there is none).
std::string UninstallEntryCommand();

// Sets the Windows version of every program of the prefix (null: Wine's default): the
// uninstaller hands over to a copy of itself with a name of its own.
bool SetPrefixVersion(const char* version);
