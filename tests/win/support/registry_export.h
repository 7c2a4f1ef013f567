// The real registry as Wine's own "reg export" writes it, parsed into rows, so that a test
// compares what a program left in the registry with a table of expected rows.
#pragma once
#include <string>
#include <vector>

// One key (value empty and isKey set) or one value of a key. Keys are full names
// ("HKEY_CLASSES_ROOT\.zip"); the default value is "@"; type is "REG_SZ", "REG_BINARY",
// "REG_DWORD" or "hex(N)"; data is the text of a string, otherwise lower-case hex digits.
struct RegistryRow {
  std::string key;
  bool isKey = false;
  std::string value;
  std::string type;
  std::string data;
};

// Everything below key (a full name) with "reg export"; empty when the key does not exist.
std::vector<RegistryRow> ExportRegistry(const std::string& key);

// The rows of key itself and of everything below it (names compared without regard to case).
std::vector<RegistryRow> RowsUnder(const std::vector<RegistryRow>& rows, const std::string& key);

// The rows as sorted text lines, one row a line ("KEY" or "KEY | VALUE | TYPE | DATA"), with key
// and value names in lower case: two row sets are equal when their texts are.
std::string RowsText(std::vector<RegistryRow> rows);

// The lines of text a that text b lacks (both as RowsText gives them), for a readable difference
// of two large row sets.
std::string LinesMissingFrom(const std::string& a, const std::string& b);

// Hex digits of bytes, lower case, as RegistryRow holds binary data.
std::string HexDigits(const std::string& bytes);
