// The checks a freshly read scene passes before anything else reads it.
#pragma once
#include "engine/ovx.h"

// kSceneOk when counts and arrays agree (every count at least 0, every array
// a count promises present and long enough) and every index is in range
// (face and strip indices below vertexcount, material below materialcount,
// neighbours -1 or below facecount); otherwise kSceneDamaged with a log line
// naming the first fault. The neighbours of a version 1.0 or 1.1 file are
// not checked: the precalculation replaces them.
int CheckLoadedScene(const _OVX_SCENE* scene);
