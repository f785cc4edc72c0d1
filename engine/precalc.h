// The completion of a scene after its file has been read: tangents, per-face
// data, adjacency, shadow arrays and GL buffers.
#pragma once
#include "engine/ovx.h"

// Runs once per successful load, as the last step of LoadScene. Every array
// it allocates comes from LoaderGetMem (engine/loader.h).
void PrecalculateScene(_OVX_SCENE* scene);
