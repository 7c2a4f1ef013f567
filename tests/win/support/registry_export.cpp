#include "support/registry_export.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>

#include "support/test_files.h"

namespace {

constexpr char ExportFile[] = "C:\\tw-registry-export.reg";

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// "reg export" writes UTF-16 with a byte-order mark; every name and text here is ASCII or Latin-1.
std::string Narrow(const std::string& utf16) {
  std::string out;
  for (size_t i = 2; i + 1 < utf16.size(); i += 2) {
    unsigned code = static_cast<unsigned char>(utf16[i]) | static_cast<unsigned char>(utf16[i + 1]) << 8;
    out += code < 256 ? static_cast<char>(code) : '?';
  }
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// A quoted text at text[*at] ('"' first); *at ends after the closing quote.
std::string Unquote(const std::string& text, size_t* at) {
  std::string out;
  size_t i = *at + 1;
  for (; i < text.size() && text[i] != '"'; ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  *at = i + 1;
  return out;
}

bool RunReg(const std::string& arguments) {
  std::string command = "C:\\windows\\system32\\reg.exe " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process))
    return false;
  WaitForSingleObject(process.hProcess, 60000);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode == 0;
}

}  // namespace

std::string HexDigits(const std::string& bytes) {
  std::string out;
  char digits[3];
  for (unsigned char b : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", b);
    out += digits;
  }
  return out;
}

std::vector<RegistryRow> ExportRegistry(const std::string& key) {
  std::vector<RegistryRow> rows;
  DeleteFileA(ExportFile);
  if (!RunReg("export \"" + key + "\" " + ExportFile + " /y")) return rows;
  std::optional<std::string> bytes = ReadFileBytes(ExportFile);
  if (!bytes) return rows;
  std::vector<std::string> lines = Lines(Narrow(*bytes));
  std::string current;
  for (size_t n = 0; n < lines.size(); ++n) {
    std::string line = lines[n];
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      current = line.substr(1, line.size() - 2);
      rows.push_back({current, true, "", "", ""});
      continue;
    }
    if (line.empty() || (line[0] != '"' && line[0] != '@')) continue;
    RegistryRow row{current, false, "@", "", ""};
    size_t at = 0;
    if (line[0] == '"')
      row.value = Unquote(line, &at);
    else
      at = 1;
    if (at >= line.size() || line[at] != '=') continue;
    ++at;
    if (line[at] == '"') {
      row.type = "REG_SZ";
      row.data = Unquote(line, &at);
    } else {
      // Hex data continues on the next lines after a trailing backslash.
      while (!line.empty() && line.back() == '\\' && n + 1 < lines.size()) line = line.substr(0, line.size() - 1) + lines[++n];
      size_t colon = line.find(':', at);
      std::string kind = line.substr(at, colon - at);
      std::string digits;
      for (size_t i = colon + 1; i < line.size(); ++i)
        if (std::isxdigit(static_cast<unsigned char>(line[i]))) digits += static_cast<char>(std::tolower(line[i]));
      row.type = kind == "hex" ? "REG_BINARY" : kind == "dword" ? "REG_DWORD" : kind;
      row.data = digits;
    }
    rows.push_back(row);
  }
  return rows;
}

std::vector<RegistryRow> RowsUnder(const std::vector<RegistryRow>& rows, const std::string& key) {
  const std::string prefix = Lower(key);
  std::vector<RegistryRow> under;
  for (const RegistryRow& row : rows) {
    const std::string name = Lower(row.key);
    if (name == prefix || name.rfind(prefix + "\\", 0) == 0) under.push_back(row);
  }
  return under;
}

std::string RowsText(std::vector<RegistryRow> rows) {
  std::vector<std::string> lines;
  for (const RegistryRow& row : rows)
    lines.push_back(row.isKey ? Lower(row.key)
                              : Lower(row.key) + " | " + Lower(row.value) + " | " + row.type + " | " + row.data);
  std::sort(lines.begin(), lines.end());
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::string LinesMissingFrom(const std::string& a, const std::string& b) {
  std::vector<std::string> linesA = Lines(a), linesB = Lines(b);
  std::sort(linesB.begin(), linesB.end());
  std::string missing;
  for (const std::string& line : linesA)
    if (!std::binary_search(linesB.begin(), linesB.end(), line)) missing += line + "\n";
  return missing;
}
