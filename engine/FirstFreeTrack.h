// Which channel a file goes to: the rule shared by the pre-recorder's takes and by
// files dropped on the window.
#pragma once

// The track a file goes to, given which of count tracks hold a file: the first
// free one for a mono file, for a stereo file the first free c whose c + 1 is free
// too, looking from track `from` on. -1 when none qualifies.
int FirstFreeTrack(const bool* loaded, int count, bool stereo, int from = 0);
