// Text files in the manner of a C library's text streams (see text_file.h).
#include "common/text_file.h"

namespace {

constexpr char EndOfText = 0x1A;  // Ctrl-Z: a text stream ends here

}  // namespace

bool TextFile::Open(const char* path, Mode mode) {
  Close();
  failed_ = ended_ = false;
  writing_ = mode != Read;
  used_ = next_ = 0;
  const DWORD access = mode == Read ? GENERIC_READ : GENERIC_WRITE;
  const DWORD disposition = mode == Read ? OPEN_EXISTING : mode == Create ? CREATE_ALWAYS : OPEN_ALWAYS;
  file_ = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) return false;
  if (mode == Append && SetFilePointer(file_, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR) {
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    return false;
  }
  return true;
}

bool TextFile::Flush() {
  if (used_ == 0 || failed_) return !failed_;
  DWORD written = 0;
  if (!WriteFile(file_, buffer_, static_cast<DWORD>(used_), &written, nullptr) || written != used_) failed_ = true;
  used_ = 0;
  return !failed_;
}

void TextFile::Put(char c) {
  if (!IsOpen() || !writing_ || failed_) return;
  if (used_ + 2 > sizeof buffer_ && !Flush()) return;
  if (c == '\n') buffer_[used_++] = '\r';
  buffer_[used_++] = c;
}

void TextFile::Put(const char* text) {
  while (*text != '\0') Put(*text++);
}

int TextFile::Next() {
  if (next_ == used_) {
    if (ended_ || failed_ || !IsOpen() || writing_) return -1;
    DWORD read = 0;
    if (!ReadFile(file_, buffer_, sizeof buffer_, &read, nullptr)) failed_ = true;
    if (failed_ || read == 0) {
      ended_ = true;
      return -1;
    }
    used_ = read;
    next_ = 0;
  }
  return static_cast<unsigned char>(buffer_[next_++]);
}

bool TextFile::ReadLine(char* line, size_t size) {
  size_t length = 0;
  while (length + 1 < size) {
    int c = Next();
    if (c == EndOfText) {  // nothing after it is read
      ended_ = true;
      used_ = next_ = 0;
      break;
    }
    if (c == -1) break;
    if (c == '\r') {
      // CR LF is one "\n"; a CR before anything else stays a CR.
      const int following = Next();
      if (following == '\n') c = '\n';
      else if (following != -1) --next_;
    }
    line[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (size > 0) line[length] = '\0';
  return length > 0;
}

bool TextFile::Close() {
  if (!IsOpen()) return false;
  bool ok = true;
  if (writing_) ok = Flush();
  ok = CloseHandle(file_) != FALSE && ok && !failed_;
  file_ = INVALID_HANDLE_VALUE;
  used_ = next_ = 0;
  return ok;
}
