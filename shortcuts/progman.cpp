// Program Manager's DDE commands.
#include "shortcuts/progman.h"

#include <cstring>

#include "common/format_text.h"
#include "common/win_handles.h"

void (*ProgmanCommandObserver)(const char* command) = nullptr;

namespace {

constexpr char ProgmanName[] = "PROGMAN";  // the service and its topic
constexpr DWORD ClientFlags = APPCLASS_STANDARD | CBF_FAIL_ALLSVRXACTIONS;
static_assert(ClientFlags == 0x3F000, "the instance refuses every server transaction");
constexpr DWORD ExecuteTimeoutMs = 1000;

bool IsPresent(const char* text) { return text != nullptr && text[0] != '\0'; }

// Formats into a ProgmanCommandSize buffer and sends the command; a command that does not fit is
// not sent at all.
template <typename... Arguments>
int SendFormatted(const char* format, Arguments... arguments) {
  char command[ProgmanCommandSize];
  int length = FormatText(command, sizeof command, format, arguments...);
  if (length < 0 || size_t(length) >= sizeof command) return 0;
  return ProgmanCommand(command);
}

// Program Manager reads these as the ends of arguments and commands.
bool HoldsCommandSyntax(const char* text) { return strpbrk(text, ",()[]") != nullptr; }

}  // namespace

HDDEDATA CALLBACK ProgmanCallback(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ item, HDDEDATA data,
                                  ULONG_PTR data1, ULONG_PTR data2) {
  return nullptr;
}

int ProgmanCommand(const char* command) {
  if (command == nullptr) return 0;
  // Declared in acquisition order, so they release in reverse: the conversation is ended
  // (DdeDisconnect) before the instance (DdeUninitialize).
  UniqueDdeInstance instance;
  if (DdeInitializeA(instance.put(), ProgmanCallback, ClientFlags, 0) != DMLERR_NO_ERROR) {
    instance.release();  // nothing to uninitialise
    return 0;
  }
  UniqueConversation conversation;
  {
    // Freed whether or not a server answered.
    UniqueDdeString name(instance.get(), DdeCreateStringHandleA(instance.get(), ProgmanName, CP_WINANSI));
    // A null service and topic would connect to any server at all: without the name, no command.
    if (!name) return 0;
    conversation.reset(DdeConnect(instance.get(), name.get(), name.get(), nullptr));
  }
  if (!conversation) return 0;
  if (ProgmanCommandObserver != nullptr) ProgmanCommandObserver(command);
  HDDEDATA data = DdeCreateDataHandle(instance.get(), reinterpret_cast<BYTE*>(const_cast<char*>(command)),
                                      static_cast<DWORD>(strlen(command) + 1), 0, nullptr, 0, 0);
  if (data == nullptr) return 0;
  // The data handle passes to the system with the transaction, answered or not.
  return DdeClientTransaction(reinterpret_cast<BYTE*>(data), 0xFFFFFFFF, conversation.get(), nullptr, 0,
                              XTYP_EXECUTE, ExecuteTimeoutMs, nullptr) != nullptr
             ? 1
             : 0;
}

// A group without a name is never sent: the shell would take the Programs folder itself.
int ProgmanCreateGroup(const char* name, const char* groupFile) {
  if (!IsPresent(name)) return 0;
  if (IsPresent(groupFile)) return SendFormatted("[CreateGroup(%s,%s)]", name, groupFile);
  return SendFormatted("[CreateGroup(%s)]", name);
}

int ProgmanDeleteGroup(const char* name) {
  if (!IsPresent(name)) return 0;
  return SendFormatted("[DeleteGroup(%s)]", name);
}

int ProgmanShowGroup(const char* name, unsigned showCommand) {
  if (!IsPresent(name)) return 0;
  return SendFormatted("[ShowGroup(%s,%u)]", name, showCommand & 0xFFFFu);
}

int ProgmanAddItem(const char* commandLine, const char* caption, const char* iconFile, unsigned iconIndex) {
  if (!IsPresent(commandLine) || caption == nullptr) return 0;
  if (IsPresent(iconFile))
    return SendFormatted("[AddItem(%s,%s,%s,%u)]", commandLine, caption, iconFile, iconIndex & 0xFFFFu);
  return SendFormatted("[AddItem(%s,%s)]", commandLine, caption);
}

int FormItemCommandLine(char* buffer, size_t size, const char* folder, const char* fileName, const char* argument) {
  if (size == 0) return 0;
  int length;
  if (argument == nullptr)
    length = FormatText(buffer, size, "\"%s\\%s\"", folder, fileName);
  else if (HoldsCommandSyntax(argument))
    length = FormatText(buffer, size, "\"%s\\%s\" \"%s\"", folder, fileName, argument);
  else
    length = FormatText(buffer, size, "\"%s\\%s\" %s", folder, fileName, argument);
  if (length < 0 || size_t(length) >= size) {
    buffer[0] = '\0';
    return 0;
  }
  return 1;
}
