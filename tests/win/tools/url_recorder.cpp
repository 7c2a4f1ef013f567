// url_recorder: stands in for the program registered for internet shortcuts. Each run appends
// its command line's argument as one line to C:\url_recorder.log, and the received file's
// content after it, and exits.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  FILE* log = std::fopen("C:\\url_recorder.log", "ab");
  if (log == nullptr) return 1;
  std::fprintf(log, "%s\r\n", argc > 1 ? argv[1] : "");
  if (argc > 1) {
    if (FILE* received = std::fopen(argv[1], "rb")) {
      char buffer[4096];
      size_t n = std::fread(buffer, 1, sizeof buffer, received);
      std::fwrite(buffer, 1, n, log);
      std::fclose(received);
    }
  }
  std::fclose(log);
  return 0;
}
