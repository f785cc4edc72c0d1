// Releasing a scene's arrays.
//
// Where FreeScene differs from the plain description, and why:
//   - it also releases the particle pool of AllocParticles (a leak otherwise);
//   - it nulls every pointer and count it released, so a second call frees
//     nothing (a double free otherwise);
//   - on a cached copy (sharedcopy) it releases nothing, the arrays being the
//     original's (a double free otherwise).
#pragma once
#include "engine/ovx.h"

// Frees every array of the record with the allocator that made it, deletes
// its GL buffers (when the GL unit offers glDeleteBuffersARB) and nulls every
// pointer, buffer name and count of an array, so a second call frees nothing.
// On a record marked sharedcopy only the pointers are cleared: the arrays
// belong to the record the copy was made from.
void FreeScene(_OVX_SCENE* scene);
// Releases every object with its arrays and buffers, then the objects
// array itself (also used when a file names the object count again).
void FreeSceneObjects(_OVX_SCENE* scene);
// A shallow copy of a loaded scene for a cache: shares the arrays and is
// marked sharedcopy, so FreeScene on the copy releases nothing.
void ShareScene(_OVX_SCENE* copy, const _OVX_SCENE* original);
