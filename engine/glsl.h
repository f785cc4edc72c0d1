// GLSL programs for effects, built through the ARB shader-object entry
// points, and a vector rotation by two angles.
#pragma once
#include <cstdint>

#include "units/shortstr.h"

// Creates a program and a vertex and a fragment shader, compiles them from
// the two files (read whole through the file layer, of any length), attaches
// and links. Failures are only logged: the handles are written in any case
// (0 where the driver lacks the entry points, which is logged too).
void LoadShaderProgram(uint32_t& vertexShader, uint32_t& fragmentShader, uint32_t& program,
                       const ShortString& vertexFile, const ShortString& fragmentFile);

// Rotates (x, y, z) by a about the y axis, then by b about the x axis.
void RotateVector(float& rx, float& ry, float& rz, float x, float y, float z, float b, float a);
