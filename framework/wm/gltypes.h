// The GL and GLU types of the entry-point tables, declared here so that no
// file that holds our tables needs the system's GL prototypes. They are the
// same types as the system's headers declare, so a file may include both.
#pragma once
#include <cstddef>
#include <cstdint>

#include "framework/wm/glconst.h"

typedef unsigned int GLenum;
typedef unsigned char GLboolean;
typedef unsigned int GLbitfield;
typedef void GLvoid;
typedef signed char GLbyte;
typedef short GLshort;
typedef int GLint;
typedef unsigned char GLubyte;
typedef unsigned short GLushort;
typedef unsigned int GLuint;
typedef int GLsizei;
typedef float GLfloat;
typedef float GLclampf;
typedef double GLdouble;
typedef double GLclampd;
typedef char GLchar;
typedef char GLcharARB;
typedef unsigned int GLhandleARB;
typedef unsigned short GLhalfNV;
typedef ptrdiff_t GLintptr;
typedef ptrdiff_t GLsizeiptr;
typedef ptrdiff_t GLintptrARB;
typedef ptrdiff_t GLsizeiptrARB;

struct GLUnurbs;
struct GLUquadric;
struct GLUtesselator;
// A GLU callback; cast to the real type of the callback being set.
typedef void (*QGLU_CALLBACK)(void);

// The Windows types of the WGL entry points (handles are pointers).
typedef void* QGL_HDC;
typedef void* QGL_HGLRC;
typedef int QGL_BOOL;
// An entry point known by name only; cast to its real type before calling.
typedef void (*QGL_PROC)(void);
