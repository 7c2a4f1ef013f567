// The archive associations and shell extensions, written through AssociationCursor so that the
// key another caller left in RegistryCursor stays as it was.
#include "registry/archive_associations.h"

#include <windows.h>
#include <shlobj.h>

#include "common/format_text.h"
#include "registry/registry_cursor.h"

const ArchiveType ArchiveTypes[16] = {
    {".zip", "application/zip"}, {".z", "application/z"},     {".gz", "application/gz"},
    {".tar", "application/tar"}, {".taz", "application/taz"}, {".tgz", "application/tgz"},
    {".lzh", "application/lzh"}, {".lha", "application/lha"}, {".arj", "application/arj"},
    {".cab", "application/cab"}, {".zoo", "application/zoo"}, {".arc", "application/arc"},
    {".ark", "application/ark"}, {".pak", "application/pak"}, {".dwc", "application/dwc"},
    {".rar", "application/rar"},
};

namespace {

// A value built from the install folder (at most 259 characters) and a format of a few dozen
// more always fits; a text that would not fit is not written at all, never written cut short.
constexpr int BuiltTextSize = 400;

struct BuiltText {
  char text[BuiltTextSize];
  bool fits;
};

BuiltText Build(const char* format, const char* argument) {
  BuiltText built;
  int length = FormatText(built.text, sizeof built.text, format, argument);
  built.fits = length >= 0 && length < BuiltTextSize;
  return built;
}

void Create(const char* parent, const char* name, HKEY root = HKEY_CLASSES_ROOT) {
  AssociationCursor.CreateKey(root, parent, name);
}
void SetDefault(const char* text) { AssociationCursor.SetString(nullptr, text); }
void SetBuilt(const char* valueName, const BuiltText& built) {
  if (built.fits) AssociationCursor.SetString(valueName, built.text);
}

// Steps 6 to 8: the archive document class, its icon and its open command. The command's
// program path is quoted: in a folder with blanks the shell would otherwise start a program
// named by a prefix of the path.
void WriteArchiveClass(const char* folder) {
  Create(nullptr, ArchiveProgId);
  SetDefault(ArchiveProgId);
  Create(ArchiveProgId, "DefaultIcon");
  SetBuilt(nullptr, Build("%s\\TWExplo.exe,4", folder));
  Create(ArchiveProgId, "shell");
  Create("Tarnwick.Archive\\shell", "open");
  Create("Tarnwick.Archive\\shell\\open", "command");
  SetBuilt(nullptr, Build("\"%s\\TWExplo.exe\" %%1", folder));
}

// One extension key replaced whole: whatever another program had below it goes.
void WriteArchiveType(const ArchiveType& type) {
  DeleteKeyTree(HKEY_CLASSES_ROOT, type.extension);
  Create(nullptr, type.extension);
  SetDefault(ArchiveProgId);
  AssociationCursor.SetString("Content Type", type.contentType);
}

// A class identifier key with its display name and in-process server (F plus serverFormat).
void WriteServerClass(const char* classId, const char* displayName, const char* serverKeyName,
                      const char* serverFormat, const char* folder) {
  const BuiltText classKey = Build("CLSID\\%s", classId);
  Create("CLSID", classId);
  if (displayName != nullptr) SetDefault(displayName);
  if (!classKey.fits) return;
  Create(classKey.text, serverKeyName);
  SetBuilt(nullptr, Build(serverFormat, folder));
  AssociationCursor.SetString("ThreadingModel", "Apartment");
}

// Steps 12 and 13: the search tool's verb on a folder or drive.
void WriteLocatorVerb(const char* owner, const char* folder) {
  const BuiltText shell = Build("%s\\shell", owner);
  const BuiltText verb = Build("%s\\shell\\Locator...", owner);
  Create(owner, "shell");
  Create(shell.text, "Locator...");
  Create(verb.text, "command");
  SetBuilt(nullptr, Build("\"%s\\twfind.exe\" /PATH:%%1", folder));
}

// Steps 14.2 and 15: a handler entry under "Directory\shellex", each level created in turn.
void WriteDirectoryHandler(const char* handlerKind) {
  const BuiltText kindKey = Build("Directory\\shellex\\%s", handlerKind);
  Create(nullptr, "Directory");
  Create("Directory", "shellex");
  Create("Directory\\shellex", handlerKind);
  Create(kindKey.text, "Tarnwick Menu");
  SetDefault(ExtensionClassId);
}

}  // namespace

int RegisterAssociations(const char* installFolder, int contextMenus, int associateZip, int associateOthers) {
  const char* folder = installFolder;

  // 1. The shell's update mode: one binary byte 1, whatever the flags.
  static const BYTE updateMode = 1;
  Create("System\\CurrentControlSet\\control", "Update", HKEY_LOCAL_MACHINE);
  AssociationCursor.SetBinary("UpdateMode", &updateMode, sizeof updateMode);
  AssociationCursor.Close();

  // 2. ".zip".
  if (associateZip) WriteArchiveType(ArchiveTypes[0]);

  // 3 to 5. The document class identifier and its short name.
  const BuiltText archiveClassKey = Build("CLSID\\%s", ArchiveClassId);
  const BuiltText archiveAuxKey = Build("CLSID\\%s\\AuxUserType", ArchiveClassId);
  Create("CLSID", ArchiveClassId);
  SetDefault(ArchiveProgId);
  Create(archiveClassKey.text, "AuxUserType");
  Create(archiveAuxKey.text, "2");
  SetDefault(ArchiveProgId);

  // 6 to 8.
  WriteArchiveClass(folder);
  AssociationCursor.Close();

  // 9. The archive class's drop handler is the document class identifier.
  Create(ArchiveProgId, "shellex");
  Create("Tarnwick.Archive\\shellex", "DropHandler");
  SetDefault(ArchiveClassId);

  // 10. Its in-process server.
  WriteServerClass(ArchiveClassId, nullptr, "InProcServer32", "%s\\TWShExt.dll", folder);
  AssociationCursor.Close();

  // 11. The archive shell extension (its server path in lower case).
  WriteServerClass(ExtensionClassId, "Tarnwick ZIP Extension", "InProcServer32", "%s\\twshext.dll", folder);

  // 12, 13. The search tool on folders and drives.
  WriteLocatorVerb("Directory", folder);
  WriteLocatorVerb("Drive", folder);

  // 14. The context-menu handlers of all files and of folders.
  if (contextMenus) {
    Create("*\\shellex", "ContextMenuHandlers");
    Create("*\\shellex\\ContextMenuHandlers", "Tarnwick Menu");
    SetDefault(ExtensionClassId);
    WriteDirectoryHandler("ContextMenuHandlers");
  }

  // 15. The folders' drag-drop handler.
  WriteDirectoryHandler("DragDropHandlers");
  AssociationCursor.Close();

  // 16. The other archive types, after the document class once more.
  if (associateOthers) {
    WriteArchiveClass(folder);
    AssociationCursor.Close();
    for (const ArchiveType& type : ArchiveTypes) {
      if (&type == &ArchiveTypes[0]) continue;
      WriteArchiveType(type);
      AssociationCursor.Close();
    }
  }

  // 17. The find extension.
  Create("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", "FindExtensions", HKEY_LOCAL_MACHINE);
  Create("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FindExtensions", "Static", HKEY_LOCAL_MACHINE);
  Create(FindExtensionsStatic, "Tarnwick Locator", HKEY_LOCAL_MACHINE);
  SetDefault(LocatorClassId);
  Create(FindExtensionsStatic, "Tarnwick Locator\\0", HKEY_LOCAL_MACHINE);
  SetDefault("Locator");
  Create("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FindExtensions\\Static\\Tarnwick Locator\\0",
         "DefaultIcon", HKEY_LOCAL_MACHINE);
  SetBuilt(nullptr, Build("%s\\TWFind.exe,0", folder));
  AssociationCursor.Close();

  // 18. The find extension's class (its server key spelled "InprocServer32").
  WriteServerClass(LocatorClassId, "Tarnwick Locator", "InprocServer32", "%s\\TWShExt.dll", folder);
  AssociationCursor.Close();

  // 19.
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
  return 1;
}
