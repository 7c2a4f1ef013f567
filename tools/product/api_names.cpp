// The system functions that generated modules import, by library. Only functions that every
// Win32 system (and Wine) exports, so that loading a generated module never fails on a missing
// import.
#include "tools/product/api_names.h"

namespace {

struct Library {
  const char* name;
  std::vector<const char*> functions;  // most used first
};

const std::vector<Library>& AppLibraries() {
  static const std::vector<Library> libraries = {
      {"KERNEL32.dll",
       {"ExitProcess", "GetLastError", "CloseHandle", "GetModuleHandleA", "GetProcAddress", "lstrlenA",
        "lstrcpyA", "CreateFileA", "ReadFile", "WriteFile", "SetFilePointer", "GetFileSize", "LoadLibraryA",
        "FreeLibrary", "GlobalAlloc", "GlobalFree", "GlobalLock", "GlobalUnlock", "LocalAlloc", "LocalFree",
        "lstrcpynA", "lstrcatA", "lstrcmpiA", "lstrcmpA", "GetFileAttributesA", "SetFileAttributesA",
        "FindFirstFileA", "FindNextFileA", "FindClose", "DeleteFileA", "MoveFileA", "CopyFileA",
        "CreateDirectoryA", "RemoveDirectoryA", "GetCurrentDirectoryA", "SetCurrentDirectoryA",
        "GetTempPathA", "GetTempFileNameA", "GetWindowsDirectoryA", "GetSystemDirectoryA",
        "GetModuleFileNameA", "GetVersionExA", "GetTickCount", "Sleep", "CreateThread", "ExitThread",
        "GetCurrentThreadId", "GetCurrentProcess", "WaitForSingleObject", "CreateEventA", "SetEvent",
        "ResetEvent", "CreateMutexA", "ReleaseMutex", "InitializeCriticalSection", "EnterCriticalSection",
        "LeaveCriticalSection", "DeleteCriticalSection", "HeapAlloc", "HeapFree", "HeapReAlloc",
        "GetProcessHeap", "VirtualAlloc", "VirtualFree", "MultiByteToWideChar", "WideCharToMultiByte",
        "GetLocalTime", "GetSystemTime", "FileTimeToLocalFileTime", "FileTimeToSystemTime",
        "SystemTimeToFileTime", "CompareFileTime", "GetDiskFreeSpaceA", "GetDriveTypeA", "GetLogicalDrives",
        "GetVolumeInformationA", "GetFullPathNameA", "GetShortPathNameA", "GetPrivateProfileStringA",
        "WritePrivateProfileStringA", "GetPrivateProfileIntA", "FormatMessageA", "GetCommandLineA",
        "GetStartupInfoA", "GetEnvironmentVariableA", "MulDiv", "DeviceIoControl", "FlushFileBuffers",
        "SetEndOfFile", "LockResource", "LoadResource", "FindResourceA", "SizeofResource", "GetACP",
        "GetOEMCP", "GetCPInfo", "RaiseException", "RtlUnwind", "UnhandledExceptionFilter",
        "InterlockedIncrement", "InterlockedDecrement", "TlsAlloc", "TlsGetValue", "TlsSetValue", "TlsFree"}},
      {"USER32.dll",
       {"SendMessageA", "GetDlgItem", "SetWindowTextA", "GetWindowTextA", "EnableWindow", "ShowWindow",
        "MessageBoxA", "LoadStringA", "PostMessageA", "GetClientRect", "GetWindowRect", "InvalidateRect",
        "UpdateWindow", "SetFocus", "GetFocus", "DestroyWindow", "CreateWindowExA", "DefWindowProcA",
        "CallWindowProcA", "SetWindowLongA", "GetWindowLongA", "RegisterClassA", "RegisterClassExA",
        "LoadIconA", "LoadCursorA", "SetCursor", "GetParent", "MoveWindow", "SetWindowPos", "BeginPaint",
        "EndPaint", "GetDC", "ReleaseDC", "FillRect", "DrawTextA", "GetSysColor", "GetSystemMetrics",
        "DialogBoxParamA", "CreateDialogParamA", "EndDialog", "SetDlgItemTextA", "GetDlgItemTextA",
        "SetDlgItemInt", "GetDlgItemInt", "CheckDlgButton", "IsDlgButtonChecked", "SendDlgItemMessageA",
        "LoadMenuA", "GetMenu", "GetSubMenu", "TrackPopupMenu", "EnableMenuItem", "CheckMenuItem",
        "DestroyMenu", "GetMessageA", "TranslateMessage", "DispatchMessageA", "PeekMessageA",
        "PostQuitMessage", "IsWindow", "IsWindowVisible", "SetTimer", "KillTimer", "ScreenToClient",
        "ClientToScreen", "GetCursorPos", "SetCapture", "ReleaseCapture", "wsprintfA", "CharUpperA",
        "CharLowerA", "CharNextA", "OpenClipboard", "CloseClipboard", "SetClipboardData", "GetClipboardData",
        "EmptyClipboard", "LoadAcceleratorsA", "TranslateAcceleratorA", "WinHelpA", "MessageBeep",
        "GetKeyState", "SystemParametersInfoA", "DrawIcon", "DestroyIcon", "LoadImageA", "FindWindowA",
        "SetForegroundWindow", "IsIconic", "EnumWindows", "GetClassNameA", "DrawEdge", "DrawFocusRect"}},
      {"GDI32.dll",
       {"SelectObject", "DeleteObject", "CreateFontIndirectA", "GetStockObject", "SetBkMode", "SetTextColor",
        "SetBkColor", "TextOutA", "ExtTextOutA", "GetTextExtentPoint32A", "CreateSolidBrush", "CreatePen",
        "CreateCompatibleDC", "CreateCompatibleBitmap", "BitBlt", "StretchBlt", "DeleteDC", "GetDeviceCaps",
        "GetTextMetricsA", "Rectangle", "MoveToEx", "LineTo", "PatBlt", "GetObjectA", "CreateDIBSection",
        "SetDIBitsToDevice", "StretchDIBits", "CreateFontA", "RealizePalette", "SelectPalette",
        "StartDocA", "EndDoc", "StartPage", "EndPage", "Escape", "GetPixel", "SetPixel", "Ellipse"}},
      {"ADVAPI32.dll",
       {"RegOpenKeyExA", "RegCloseKey", "RegQueryValueExA", "RegSetValueExA", "RegCreateKeyExA",
        "RegDeleteKeyA", "RegDeleteValueA", "RegEnumKeyExA", "RegEnumValueA", "RegOpenKeyA",
        "RegQueryInfoKeyA", "GetUserNameA"}},
      {"SHELL32.dll",
       {"ShellExecuteA", "SHGetFileInfoA", "SHBrowseForFolderA", "SHGetPathFromIDListA",
        "SHGetSpecialFolderLocation", "SHFileOperationA", "DragQueryFileA", "DragFinish", "SHChangeNotify",
        "Shell_NotifyIconA", "ExtractIconA", "ShellExecuteExA", "DragAcceptFiles"}},
      {"COMCTL32.dll",
       {"InitCommonControlsEx", "ImageList_Create", "ImageList_Destroy", "ImageList_Add",
        "ImageList_ReplaceIcon", "ImageList_Draw", "ImageList_GetIcon", "PropertySheetA",
        "CreatePropertySheetPageA", "CreateStatusWindowA", "CreateToolbarEx", "ImageList_LoadImageA",
        "ImageList_SetBkColor", "_TrackMouseEvent", "ImageList_GetImageCount"}},
      {"ole32.dll",
       {"CoInitialize", "CoUninitialize", "CoCreateInstance", "CoTaskMemAlloc", "CoTaskMemFree",
        "OleInitialize", "OleUninitialize", "RegisterDragDrop", "RevokeDragDrop", "DoDragDrop",
        "OleSetClipboard", "OleGetClipboard", "ReleaseStgMedium", "CoGetMalloc", "StringFromGUID2",
        "CLSIDFromString"}},
      {"OLEAUT32.dll",
       {"SysAllocString", "SysFreeString", "SysStringLen", "VariantInit", "VariantClear",
        "VariantChangeType", "LoadTypeLib", "RegisterTypeLib", "SafeArrayCreate", "SafeArrayDestroy"}},
      {"comdlg32.dll",
       {"GetOpenFileNameA", "GetSaveFileNameA", "ChooseFontA", "ChooseColorA", "PrintDlgA",
        "PageSetupDlgA", "CommDlgExtendedError"}},
      {"VERSION.dll", {"GetFileVersionInfoA", "GetFileVersionInfoSizeA", "VerQueryValueA"}},
      {"WSOCK32.dll",
       {"socket", "connect", "send", "recv", "closesocket", "gethostbyname", "htons", "ntohs", "inet_addr",
        "WSAStartup", "WSACleanup", "WSAGetLastError", "select", "setsockopt", "bind", "listen", "accept"}},
      {"WINMM.dll",
       {"PlaySoundA", "waveOutOpen", "waveOutClose", "waveOutWrite", "waveOutPrepareHeader",
        "mciSendStringA", "mciSendCommandA", "timeGetTime"}},
      {"MSVCRT.dll",
       {"malloc", "free", "memcpy", "memset", "strlen", "strcpy", "sprintf", "_stricmp", "strcmp", "strcat",
        "realloc", "calloc", "memmove", "strncpy", "_snprintf", "sscanf", "atoi", "atol", "strtol", "qsort",
        "_itoa", "toupper", "tolower", "_splitpath", "_makepath", "fopen", "fclose", "fread", "fwrite",
        "fprintf", "_purecall", "_except_handler3", "__CxxFrameHandler", "_initterm", "_adjust_fdiv",
        "__dllonexit", "_onexit", "exit", "_exit", "_XcptFilter", "_controlfp"}},
  };
  return libraries;
}

const std::vector<Library>& DriverLibraries() {
  static const std::vector<Library> libraries = {
      {"ntoskrnl.exe",
       {"IofCompleteRequest", "IoCreateDevice", "IoDeleteDevice", "IoCreateSymbolicLink",
        "IoDeleteSymbolicLink", "ExAllocatePoolWithTag", "ExFreePool", "RtlInitUnicodeString",
        "ZwCreateFile", "ZwClose", "ZwReadFile", "ObReferenceObjectByHandle", "ObfDereferenceObject",
        "IoAttachDeviceToDeviceStack", "IoDetachDevice", "KeWaitForSingleObject", "KeSetEvent",
        "KeInitializeEvent", "DbgPrint", "KeInitializeSpinLock", "IoAllocateIrp", "IoFreeIrp",
        "IofCallDriver", "RtlCopyUnicodeString", "ExInterlockedInsertTailList"}},
      {"HAL.dll", {"KfAcquireSpinLock", "KfReleaseSpinLock", "KeGetCurrentIrql"}},
  };
  return libraries;
}

}  // namespace

std::vector<ImportedLibrary> PickImports(Rng& rng, Recipe recipe, size_t wanted) {
  const bool driver = recipe == Recipe::Driver;
  const std::vector<Library>& libraries = driver ? DriverLibraries() : AppLibraries();
  std::vector<ImportedLibrary> out;
  // Every module uses the first libraries; further ones join with falling probability.
  size_t total = 0;
  for (size_t i = 0; i < libraries.size() && total < wanted; ++i) {
    const Library& library = libraries[i];
    if (i >= 3 && !driver && !rng.PerMille(i < 6 ? 600 : 300)) continue;
    ImportedLibrary picked{library.name, {}};
    const size_t share = i == 0 ? wanted / 2 + 1 : (wanted - total) / 2 + 1;
    // The most used functions first, then a random selection of the rest, in table order.
    for (size_t f = 0; f < library.functions.size() && picked.functions.size() < share; ++f) {
      if (f < 4 || rng.PerMille(450)) picked.functions.push_back(library.functions[f]);
    }
    total += picked.functions.size();
    out.push_back(picked);
  }
  return out;
}
