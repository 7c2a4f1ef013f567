// The arguments of a program's command line, as Windows hands the whole line to the program.
#pragma once

// The command line after the program's own name, quoted or not, without the blanks that
// follow it. Points into commandLine.
inline const char* CommandLineArguments(const char* commandLine) {
  const char* p = commandLine;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p != '\0' && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}
