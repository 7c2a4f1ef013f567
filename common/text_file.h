// Text files written and read as a C library's text streams are: "\n" is written as CR LF, CR LF
// is read as "\n", and reading ends at the end of the file or at a Ctrl-Z. The programs write
// their few text files ("WININIT.INI", internet shortcuts, a log) with it and carry no C stream
// library.
#pragma once
#include <windows.h>

#include <cstddef>

class TextFile {
 public:
  enum Mode {
    Read,    // an existing file, from its start
    Create,  // a new file, or an existing one emptied
    Append,  // an existing file from its end, or a new one
  };

  TextFile() = default;
  ~TextFile() { Close(); }
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // False when the file could not be opened (the file then stays closed). Others may read and
  // write the file while it is open.
  bool Open(const char* path, Mode mode);
  bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }

  // Writes text; a write that fails is remembered, and later ones are dropped.
  void Put(const char* text);
  void Put(char c);

  // Reads the next line like fgets: at most size - 1 characters, up to and with its "\n", and
  // a terminating zero. False, line empty, at the end of the file or after a read that failed.
  bool ReadLine(char* line, size_t size);

  // True when a read or a write failed.
  bool Failed() const { return failed_; }

  // Writes what is waiting and closes the file. True when every write reached the file and the
  // close succeeded; false too when the file was not open.
  bool Close();

 private:
  bool Flush();
  int Next();  // the next byte, or -1 at the end or after a failure

  HANDLE file_ = INVALID_HANDLE_VALUE;
  bool writing_ = false;
  bool failed_ = false;
  bool ended_ = false;
  char buffer_[512];
  size_t used_ = 0;  // writing: bytes waiting; reading: bytes in the buffer
  size_t next_ = 0;  // reading: the next byte's place
};
