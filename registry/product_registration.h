// Product registration: where the product is installed, the configuration document class, the
// archive associations and the self-registration of the product's modules.
#pragma once

// Where the product's keys stand (RegisterProduct writes them one level at a time).
inline constexpr char ProductInstallKey[] = "SOFTWARE\\KELM\\Tarnwick\\CurrentVersion";  // "InstallDir", HKLM
inline constexpr char UpdateToolProductsKey[] = "Software\\KELM\\Patchwell\\Products";   // "Tarnwick", HKLM
inline constexpr char ConfigurationClassKey[] = "CLSID\\{d41c7a90-5b2e-11ce-8f3a-00a0c9d4e261}";
inline constexpr char ConfigurationProgId[] = "Tarnwick";
inline constexpr char ConfigurationExtension[] = ".TWC";

// One module whose "DllRegisterServer" is called, and whether NT 4.0 passes it over.
struct RegistrationModule {
  const char* fileName;  // in the install folder
  int skippedOnNT4;
};
// lattice.ocx, modeng1.dll ... modeng4.dll, in the order they are registered.
extern const RegistrationModule RegistrationModules[5];

// Records the installed product, reading SetupState.installFolder (F), isNT4 and the three option
// flags:
// - "InstallDir" = F under HKLM "SOFTWARE\KELM\Tarnwick\CurrentVersion", the same key path (and
//   its "Tools" subkey) under HKCU, "Tarnwick" = F under HKLM "Software\KELM\Patchwell\Products";
// - the configuration document class: ".TWC" -> "Tarnwick", its class identifier, its icon and
//   its open command "\"F\TWick.exe\" %1" (program path quoted);
// - RegisterAssociations(F, registerContextMenus, associateZip, associateOthers);
// - makes F the current directory (it stays so) and calls the "DllRegisterServer" of each of
//   RegistrationModules loaded by its full path F\NAME, with SEM_FAILCRITICALERRORS while each
//   module is loaded (so a missing one raises no system message box); modeng4.dll is passed
//   over on NT 4.0. A module that does not load or lacks the entry is passed over.
// Every step is repeatable: a second call rewrites the same values. Nothing is reported. Each
// key is created one level at a time through RegistryCursor, which keeps the last one open.
void RegisterProduct();
