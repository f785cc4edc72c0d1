// The 3D engine's scene records: one _OVX_SCENE holds the settings, camera
// tracks, eight lights and the arrays of materials, objects, keys and the
// per-face data computed after loading.
//
// Scene files carry the bytes of whole fields, so every field below has the
// width the file gives it: flags are one byte (uint8_t, never bool: a file
// byte may be 2), texts are 256-byte OvxShortString records, value types are
// their components without gaps (the static_asserts pin the sizes). The order
// of the fields is the declaration order of the data model; the layout of the
// records as a whole is not part of any file.
//
// Arrays are plain pointers with the count the comment names; there is no
// capacity beyond the count. Who allocates each pointer decides who frees
// it (FreeScene in engine/scenefree.h):
//   [file]   read from a scene file: the framework's tracked allocator
//            (MemGet / MemFree of units/sysunit.h), zero-filled;
//   [plain]  computed after loading or by the particle system: the scene
//            module's plain allocator (LoaderGetMem / LoaderRelease of
//            engine/loader.h, calloc, zero-filled);
//   [either] neighbours: from the file or computed; `neighboursplain` says
//            which.
// A pointer that nobody allocated is null; every count of an array that is
// null is treated as 0 by the readers of the record.
#pragma once
#include <cstdint>
#include <cstring>
#include <string_view>

// A text as the scene file stores it: a length byte and 255 character
// bytes. The tail behind the length is kept as read (a file's bytes); use
// view() and assign(), which zeroes the tail so written files are
// deterministic.
struct OvxShortString {
  uint8_t len;
  char text[255];

  std::string_view view() const { return std::string_view(text, len); }
  void assign(std::string_view s) {
    len = static_cast<uint8_t>(s.size() < sizeof text ? s.size() : sizeof text);
    std::memset(text, 0, sizeof text);
    if (len) std::memcpy(text, s.data(), len);
  }
  bool empty() const { return len == 0; }
};
static_assert(sizeof(OvxShortString) == 256);

// Small value types.
struct _OVX_VECTOR {
  float x, y, z;
};
struct _OVX_RGB {
  float r, g, b;
};
struct _OVX_RGBA {
  float r, g, b, a;
};
struct _OVX_FOGPARAM {
  float density, start, end;
};
struct _OVX_TEXTCOORD {
  float u, v;
};
// Three vertex indices of a triangle, or three neighbour faces (-1 for none)
// across the edges corner 0-1, 1-2 and 2-0.
struct _OVX_FACE {
  int32_t a, b, c;
};
struct _OVX_PLANE {
  float a, b, c, d;
};
struct _OVX_KEYVECTOR {
  int32_t frame;
  float x, y, z;
};
struct _OVX_KEYQUAT {
  int32_t frame;
  float x, y, z, w;
};
// Four rows of four, row after row.
struct _OVX_MATRIX {
  float m[4][4];
};

static_assert(sizeof(_OVX_VECTOR) == 12 && sizeof(_OVX_RGB) == 12 && sizeof(_OVX_FOGPARAM) == 12);
static_assert(sizeof(_OVX_RGBA) == 16 && sizeof(_OVX_TEXTCOORD) == 8 && sizeof(_OVX_FACE) == 12);
static_assert(sizeof(_OVX_PLANE) == 16 && sizeof(_OVX_KEYVECTOR) == 16 && sizeof(_OVX_KEYQUAT) == 20);
static_assert(sizeof(_OVX_MATRIX) == 64);

// The emitter of an object.
struct _OVX_PARTICLEDATA {
  uint8_t particleenabled;
  _OVX_VECTOR deltavector;
  _OVX_VECTOR deltavectorspread;
  _OVX_RGB color;
  _OVX_RGB colorspread;  // carried by file and configuration text, not used by the step
  uint8_t colorattrib;
  float power;
  float deltapower;
  int32_t newparticle;
  OvxShortString particletexture;
  int32_t textureid;
  float size;
};

// One slot of the scene's particle pool.
struct _OVX_PARTICLE {
  uint8_t free;
  _OVX_VECTOR position;
  _OVX_RGB color;
  _OVX_VECTOR velocity;
  uint8_t colorattrib;
  float power;
  float deltapower;
  int32_t object;
};

// Array element types under the names the engine uses for them; the arrays
// themselves are pointers to their first element.
typedef _OVX_VECTOR _OVX_VECTOR_ARRAY;
typedef _OVX_KEYVECTOR _OVX_KEYVECTOR_ARRAY;
typedef _OVX_KEYQUAT _OVX_KEYQUAT_ARRAY;
typedef _OVX_FACE _OVX_FACE_ARRAY;
typedef _OVX_PLANE _OVX_PLANE_ARRAY;
typedef _OVX_RGB _OVX_RGB_ARRAY;
typedef _OVX_TEXTCOORD _OVX_TEXTCOORD_ARRAY;
typedef _OVX_PARTICLE _OVX_PARTICLE_ARRAY;
typedef uint16_t wordARRAY;
typedef uint8_t booleanARRAY;

struct _OVX_LIGHT {
  OvxShortString name;
  _OVX_VECTOR pos;
  int32_t keycount;  // entries of keys
  _OVX_RGB ambient;
  _OVX_RGB diffuse;
  _OVX_RGB specular;
  uint8_t enabled;
  _OVX_KEYVECTOR_ARRAY* keys;  // [file] light positions by frame
};

struct _OVX_MATERIAL {
  OvxShortString name;
  OvxShortString texturename;  // empty for none
  float transparency;
  int32_t textureid;
  float utile;
  float vtile;
  uint8_t texturebpp;  // 24 after loading, the texture's depth once textures are loaded
  uint8_t textured;
  _OVX_RGB ambient;
  _OVX_RGB diffuse;
  _OVX_RGB specular;
  int32_t shine;
  OvxShortString envmaptexture;
  uint8_t envmap;
  int32_t envmapid;
  int32_t magtype;  // texture filter mode 0-3
  uint8_t receivelight;
  float alphatest;
  uint8_t depthtest;
  uint8_t blend;
  uint8_t texturewrap;
  float constantalpha;
  float flaresize;
  uint8_t unusedflag;
  uint8_t depthfunc;
  _OVX_RGB envmapcolor;
  float envmapalpha;
  uint8_t envmapblend;
};

struct _OVX_OBJECT {
  uint8_t rendermode;
  uint8_t hasnormals;
  uint8_t hastexcoords;
  uint8_t hascolors;
  uint8_t visible;
  OvxShortString name;
  int32_t vertexcount;  // entries of vertices, normals, texcoords, colors, tangents, bitangents
  int32_t facecount;    // entries of faces, basefaces, neighbours, facenormals, facecenters, planes, lightvisible
  int32_t material;     // index into the scene's materials
  int32_t positionkeycount;
  int32_t rotationkeycount;
  int32_t scalekeycount;
  int32_t stripcount;  // entries of strip
  uint8_t backfacecull;
  int32_t passno;
  uint8_t distancecull;
  uint32_t indexbuffer;  // GL buffer names, 0 when none was generated
  uint32_t vertexbuffer;
  uint32_t normalbuffer;
  uint32_t texcoordbuffer;
  _OVX_MATRIX matrix;
  _OVX_VECTOR pivot;
  _OVX_RGB flarecolor;
  _OVX_PARTICLEDATA particledata;
  uint8_t unusedflag1;  // chunk 0x50, read and never written
  uint8_t unusedflag2;  // chunk 0x51, read and never written
  _OVX_VECTOR rotation;
  _OVX_VECTOR texturescroll;
  wordARRAY* strip;                     // [file] stripcount vertex indices
  _OVX_FACE_ARRAY* faces;               // [file] facecount triangles
  _OVX_FACE_ARRAY* basefaces;           // [file] facecount triangles; never allocated after loading
                                        //   (the adjacency reads faces when it is null)
  _OVX_VECTOR_ARRAY* vertices;          // [file] vertexcount
  _OVX_VECTOR_ARRAY* tangents;          // [plain] vertexcount
  _OVX_VECTOR_ARRAY* bitangents;        // [plain] vertexcount
  _OVX_RGB_ARRAY* colors;               // [file] vertexcount, when hascolors
  _OVX_TEXTCOORD_ARRAY* texcoords;      // [file] vertexcount, when hastexcoords
  _OVX_VECTOR_ARRAY* normals;           // [file] vertexcount, when hasnormals
  _OVX_VECTOR_ARRAY* facenormals;       // [plain] facecount
  _OVX_KEYVECTOR_ARRAY* positionkeys;   // [file] positionkeycount
  _OVX_KEYQUAT_ARRAY* rotationkeys;     // [file] rotationkeycount
  _OVX_KEYVECTOR_ARRAY* scalekeys;      // [file] scalekeycount
  _OVX_PLANE_ARRAY* planes;             // [plain] facecount
  _OVX_FACE_ARRAY* neighbours;          // [either] facecount; -1 or a face index
  booleanARRAY* lightvisible;           // [plain] facecount + 16
  booleanARRAY* contour;                // [plain] 3 facecount + 16
  _OVX_VECTOR_ARRAY* facecenters;       // [plain] facecount
  uint8_t castshadow;
  uint8_t colorpass;
  uint8_t fog;
  uint8_t fogmode;
  _OVX_FOGPARAM fogparam;
  _OVX_RGBA fogcolor;
  // Not part of the file: 1 when neighbours came from LoaderGetMem (computed
  // after loading), 0 when it came from the file (tracked allocator).
  uint8_t neighboursplain;
};

// The scene's materials and objects, under the array names the engine uses
// like the element arrays above: pointers to the first record.
typedef _OVX_MATERIAL _OVX_MATERIAL_ARRAY;
typedef _OVX_OBJECT _OVX_OBJECT_ARRAY;

constexpr int kOvxLightCount = 8;

struct _OVX_SCENE {
  int32_t chunkcount;
  uint8_t versionmajor;
  uint8_t versionminor;
  OvxShortString name;
  int32_t reserved;
  int32_t materialcount;  // entries of materials
  int32_t objectcount;    // entries of objects
  int32_t passcount;
  float camerafov;
  float cameranear;
  float camerafar;
  int32_t camerakeycount;  // entries of camerakeys and cameratangents
  int32_t targetkeycount;  // entries of targetkeys and targettangents
  int32_t maxobjectfaces;
  int32_t shadowquadcount;
  _OVX_MATERIAL_ARRAY* materials;       // [file] materialcount
  _OVX_OBJECT_ARRAY* objects;           // [file] objectcount
  _OVX_KEYVECTOR_ARRAY* camerakeys;     // [file] camerakeycount
  _OVX_KEYVECTOR_ARRAY* targetkeys;     // [file] targetkeycount
  _OVX_VECTOR_ARRAY* cameratangents;    // [plain] camerakeycount
  _OVX_VECTOR_ARRAY* targettangents;    // [plain] targetkeycount
  _OVX_PARTICLE_ARRAY* particles;       // [plain] particlecount, allocated by the particle system
  _OVX_VECTOR_ARRAY* volumevertices;    // [plain] 12 x total face count
  _OVX_FACE_ARRAY* volumeindices;       // [plain] 6 x total face count
  uint32_t volumevertexbuffer;          // GL buffer names, 0 when none was generated
  uint32_t volumeindexbuffer;
  _OVX_LIGHT lights[kOvxLightCount];
  void* unusedpointer;
  int32_t unusedlongint;
  int32_t particlecount;
  float distancelimit;
  float volumeextent;
  float colorscale;
  // Not part of the file: 1 on a shallow copy that shares the arrays of
  // another record (the effect projects' scene cache). FreeScene on such a
  // copy releases nothing and only clears the copy's pointers; the arrays
  // belong to the record they were loaded into.
  uint8_t sharedcopy;
};
