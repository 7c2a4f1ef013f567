#include "setup/setup_state.h"

SetupRecord SetupState;

namespace {
char textBuffers[2][200];
int nextTextBuffer = 0;
}  // namespace

const char* LoadText(UINT id) {
  char* buffer = textBuffers[nextTextBuffer];
  if (LoadStringA(SetupState.instance, id, buffer, sizeof textBuffers[0]) <= 0) buffer[0] = '\0';
  nextTextBuffer ^= 1;
  return buffer;
}
