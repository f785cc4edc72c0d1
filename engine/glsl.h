// GLSL programs for effects, built through the ARB shader-object entry
// points, and a vector rotation by two angles.
#pragma once
#include <cstdint>

#include "units/shortstr.h"

// Creates a program and a vertex and a fragment shader, compiles them from
// the two files (read whole through the file layer, of any length), attaches
// and links; the info logs go through a 2048-byte tracked block described
// "pchar", released at the end. Failures are only logged: the handles are
// written in any case.
//
// Where the loader differs from the plain description, and the fault it
// mends: without the shader-object entry points it logs that and leaves
// the handles 0 (calls through null entry points: crash).
void LoadShaderProgram(uint32_t& vertexShader, uint32_t& fragmentShader, uint32_t& program,
                       const ShortString& vertexFile, const ShortString& fragmentFile);

// Rotates (x, y, z) by a about the y axis, then by b about the x axis.
void RotateVector(float& rx, float& ry, float& rz, float x, float y, float z, float b, float a);
