#include "engine/FirstFreeTrack.h"

int FirstFreeTrack(const bool* loaded, int count, bool stereo, int from) {
  for (int c = from < 0 ? 0 : from; c < count; ++c) {
    if (loaded[c]) continue;
    if (!stereo) return c;
    if (c + 1 < count && !loaded[c + 1]) return c;
  }
  return -1;
}
