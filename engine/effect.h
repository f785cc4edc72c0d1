// Effect projects: a timeline of operators with timed keys over a set of
// scenes and interface layers, read from one binary file, and the scene
// cache that lets later projects reuse the scenes earlier ones loaded.
//
// Project file, little-endian, fixed-size blocks without padding (S scenes,
// L interfaces, N operators):
//   0    name (short string: length byte, 255 characters)
//   256  reserved1..4, S, L, N (int32 each)
//   284  S scene paths, then L interface paths (256-byte short strings)
//   then N operator records of 304 bytes: optype @0, target @4, params[32]
//        @8, a key pointer slot @40 (ignored), keycount @44, name @48
//   then the keys of every operator in operator order, 24 bytes each:
//        start @0, end @4, ease @8 (3 bytes padding), start, middle and end
//        value @12, @16, @20
// Only the file name of a path is used (PathFileName); scenes and layers are
// taken from the folder "data", their textures from "textures".
//
// The reader trusts nothing in the file: the whole layout is checked before
// any scene or layer is loaded, so a truncated or hostile file loads nothing.
// Counts have no upper bound of their own (the format's arrays declare 0 to
// 100, and a project holds as many entries as its file gives); a negative
// count, or one larger than the bytes present can hold, is damage.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "engine/layers.h"
#include "engine/ovx.h"
#include "units/shortstr.h"

struct FEX_Key {
  int32_t starttime = 0;
  int32_t endtime = 0;
  uint8_t ease = 0;  // 0 linear, 1 sine, 2 cosine
  int32_t startvalue = 0;  // kFexRandomValue stands for a random value
  int32_t midvalue = 0;
  int32_t endvalue = 0;
};

// The format's array types; a project holds exactly as many entries as the
// file gives, whatever the declared range.
using fex_key_array = FEX_Key[];

struct FEX_Operator {
  int32_t optype = 0;
  int32_t target = 0;  // scene or interface index, where the code uses one
  uint8_t params[32] = {};
  std::unique_ptr<fex_key_array> keys;
  int32_t keycount = 0;
  ShortString name;
};

using fex_operator_array = FEX_Operator[];
using _ovx_scene_array = _OVX_SCENE[];

// The arrays are value-initialised and owned by the record; the scenes and
// layers they hold are released by EffectFreeProject.
struct FEX_Project {
  ShortString name;
  int32_t reserved1 = 0, reserved2 = 0, reserved3 = 0, reserved4 = 0;
  int32_t scenecount = 0;
  int32_t interfacecount = 0;
  int32_t operatorcount = 0;
  std::unique_ptr<fex_operator_array> operators;
  std::unique_ptr<_ovx_scene_array> scenes;
  std::unique_ptr<ife_interface_array> interfaces;
};

struct FEX_RGBA {
  uint8_t r, g, b, a;
};

constexpr int32_t kFexRandomValue = -303;
constexpr size_t kFexShortStringSize = 256;
constexpr size_t kFexHeaderSize = 284;
constexpr size_t kFexOperatorSize = 304;
constexpr size_t kFexKeySize = 24;

// Scenes loaded so far, by file name; shared by every project.
constexpr int32_t kSceneCacheSize = 256;
struct SceneCacheEntry {
  ShortString name;
  _OVX_SCENE* scene = nullptr;
};
// The effect unit's state: the scene cache, entries 0 to SceneCacheCount - 1
// in use.
struct EffectUnitState {
  SceneCacheEntry SceneCache[kSceneCacheSize];
  int32_t SceneCacheCount = 0;
};
extern EffectUnitState EffectUnit;
// Every name empty, count 0; no scene is released.
void EffectClearSceneCache(void);

// The engine's port to an interface-layer unit: the routines the project
// loader and the player call on the layer records of engine/layers.h. The
// engine neither links nor includes the application's layer unit, which
// plugs its reader and drawer in here; with the port empty no loading frames
// are drawn and the layers stay empty.
struct EffectInterfaceHooks {
  void (*progress)(void) = nullptr;
  void (*load)(ife_interface& ifc, const ShortString& fileName, const ShortString& textureFolder) = nullptr;
  void (*release)(ife_interface& ifc) = nullptr;
  // Draws a loaded layer at a time (the player's interface operator).
  void (*render)(ife_interface& ifc, float time) = nullptr;
};
extern EffectInterfaceHooks EffectInterfaces;

// The part after the last "\", searched backwards from the second-to-last
// character (so a trailing "\" stays), or the whole path without one.
ShortString PathFileName(const ShortString& path);

// Results of the non-fatal entry points.
enum EffectLoadStatus : int {
  kEffectOk = 0,
  kEffectCantOpen = 2,    // the project file cannot be opened or read
  kEffectDamaged = 100,   // it ends before its counts say, or a count is negative
};

// Fills the project's records from the bytes of a project file without
// loading anything it names. On failure the project is left empty and
// error says why.
int EffectReadProject(FEX_Project& project, std::span<const uint8_t> bytes, std::string& error);
// Reads the file and loads every scene and layer it names (one loading frame
// before each); the project must be empty.
int EffectLoadProjectStatus(FEX_Project& project, std::string_view fileName, std::string& error);
// The same; a project file that cannot be read or is damaged ends the
// program with a message on stderr and the status as exit code.
void EffectLoadProject(FEX_Project& project, std::string_view fileName);

// Releases the project's scenes and layers and drops the cache entries that
// point into it. A cached scene is shared by later projects that named it:
// release those first.
void EffectFreeProject(FEX_Project& project);
