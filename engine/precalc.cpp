#include "engine/precalc.h"

void PrecalculateScene(_OVX_SCENE*) {}
