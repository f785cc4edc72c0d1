// The guardian that puts the display back when the process ends (used by
// display.cpp only). It is this program started again in guardian mode,
// which it enters before main, holding the read end of a pipe: when every
// write end is gone, which happens however this process ends, it opens its
// own display connection and restores what it was told. It is spawned, not
// forked: a forked child of a process with threads may find the allocator's
// lock held for ever.
#pragma once
#include <cstdint>

namespace plat::restore {

// The mode found at start: RandR size index, rotation and rate.
void RememberMode(int sizeIndex, int rotation, int rate);
void ForgetMode();
// The power-off (DPMS) state found at start.
void RememberPowerOff(bool enabled);
void ForgetPowerOff();

// What the guardian does at the end, also used in-process.
void RestoreMode(void* display, int sizeIndex, int rotation, int rate);
void RestorePowerOff(void* display, bool enabled);

// Test seam: instead of restoring, the guardian appends a line "kind a b c"
// per remembered setting to this file (kind 1 mode with size, rotation,
// rate; kind 3 power-off with its state). Set it before the first Remember
// call.
void SetRestoreRecordFile(const char* path);

// DPMS, kept here because its header's types clash with the Windows ones.
// Query fails when the server has no DPMS or the monitor cannot use it.
bool QueryPowerOff(void* display, bool& enabled);

}  // namespace plat::restore
