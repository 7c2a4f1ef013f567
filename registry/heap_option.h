// The heap look-aside option of the NT family's Image File Execution Options.
#pragma once

inline constexpr char ExecutionOptionsPath[] =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
// The system reads a program's options from the subkey named by its file name, in lower case.
inline constexpr const char* HeapOptionPrograms[] = {"twexplo.exe", "twick.exe"};
inline constexpr char HeapOptionName[] = "DisableHeapLookAside";

// Gives the product's explorer component and main program the option "DisableHeapLookAside"
// (REG_SZ "1") under HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Image File
// Execution Options, in the subkeys "twexplo.exe" and "twick.exe": the options key is created
// when missing, an existing program key keeps its other values and the value is overwritten.
// Without the right to write there nothing is written and nothing is reported. Only for the NT
// family; the installation run does not call it on Windows 95, 98 and ME. Leaves RegistryCursor
// closed.
void SetHeapLookasideOption();
