// Releasing an OpenAL context and its device through one named path.
//
// While alcDestroyContext and alcCloseDevice tear the device's mix state
// down, OpenAL Soft's own mixer thread may still copy from it; the library
// orders the two through atomics that ThreadSanitizer cannot see. The
// library ships without names for its internal functions, and a report's
// stack names only instrumented call sites, so every release goes through
// SYS_ReleaseAlDevice, which calls the library from a second function of
// its own: its name then stands in every report of a release, and the
// thread sanitizer build's suppression names this path alone instead of
// the whole library. Neither function is inlined or left by a tail call.
#pragma once
#include <AL/alc.h>

namespace sys_alclose {
[[gnu::noinline]] inline void Release(ALCcontext* context, ALCdevice* device) {
  if (context) {
    alcMakeContextCurrent(nullptr);  // a context is destroyed only once it is not current
    alcDestroyContext(context);
  }
  if (device) alcCloseDevice(device);
  asm volatile("" ::: "memory");
}
}  // namespace sys_alclose

// Destroys the context (may be null) and closes the device (may be null).
[[gnu::noinline]] inline void SYS_ReleaseAlDevice(ALCcontext* context, ALCdevice* device) {
  sys_alclose::Release(context, device);
  asm volatile("" ::: "memory");
}
