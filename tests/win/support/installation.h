// A whole installation through the real setup program, as a user makes it.
#pragma once

// The folder setup.exe proposes in a fresh prefix.
constexpr char DefaultInstallFolder[] = "C:\\Program Files\\KELM\\Tarnwick";

// Starts setup.exe as Wine's version (null: the default one), accepts every page as it comes
// and presses Finish; the program must end with exit code 1 (a fatal failure otherwise, also
// when it stops at a question, such as the restart question).
void InstallLikeAUser(const char* version);
