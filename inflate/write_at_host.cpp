// Host builds: InflateStream.outputFile holds a file descriptor.
#include "inflate/write_at_host.h"

#include <unistd.h>

#include <cstdint>

#include "inflate/inflate.h"

WriteAtObserver writeAtObserver = nullptr;

int WriteAt(const uint8_t* buffer, uint32_t offset, uint32_t count) {
  if (writeAtObserver != nullptr) writeAtObserver(buffer, offset, count);
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(InflateStream.outputFile));
  if (lseek(fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(-1)) return 0;
  const ssize_t written = write(fd, buffer, count);
  return written >= 0 && static_cast<uint32_t>(written) == count;
}
