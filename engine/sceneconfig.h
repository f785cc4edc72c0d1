// A scene's tunable settings as a line-oriented text that can be edited by
// hand: camera clip values and the keys of materials, objects and lights,
// which are addressed by name.
//
//   camerafov=1.0472
//   material(stone).utile=2.0000
//   object(door).passno=1
//   light(sun).pos=0.0000,10.0000,-0.5000
//
// Numbers are written with four decimals and read in the C locale's form
// whatever locale the process runs in. Lines end in LF; a CR before the LF
// (a file edited on another system) is dropped. A line keeps at most 255
// characters; the rest of a longer line is dropped, never read as a line of
// its own.
//
// What the reader does with lines that cannot apply (each is logged and the
// reader goes on with the next line, nothing is changed):
//   - a name that no material, object or light carries (the entry is never
//     guessed), and every named line of a section with no entries;
//   - a colour or vector value with fewer than three comma-separated parts;
//   - a one-byte integer outside 0..255;
//   - an object's material outside 0..materialcount-1, a negative passno.
// When several entries carry the name, the one with the highest index takes
// the line (eight unnamed lights all answer to light 7). A strict integer
// that is not a decimal integer ends the load with kSceneCfgBadInteger; the
// lines before it stay applied. Whenever the file was read, passcount is
// recomputed from the objects' passno afterwards.
#pragma once
#include <string>
#include <string_view>

#include "engine/ovx.h"
#include "framework/base/log.h"

constexpr int kSceneCfgOk = ERR_NONE;
constexpr int kSceneCfgCantOpen = ERR_CANTOPEN;      // LoadSceneConfig: the file cannot be opened
constexpr int kSceneCfgCantCreate = ERR_CANTCREATE;  // SaveSceneConfig: the file cannot be created or written
constexpr int kSceneCfgBadInteger = ERR_BADARG;      // a strict integer that is not one; the load stopped there

// Creates or replaces the file ("\" in the name is a folder separator).
int SaveSceneConfig(const _OVX_SCENE* scene, std::string_view fileName);
// Reads the file and applies its lines to the scene.
int LoadSceneConfig(_OVX_SCENE* scene, std::string_view fileName);
// The same over a text in memory; name is used for the log lines only.
int LoadSceneConfigText(_OVX_SCENE* scene, std::string_view text, std::string_view name);

// The parts of a line: the keyword before the first "=", "(" or "." (the
// whole line without them); the name between the first "(" and the first
// ")"; the key between the first "." and the first "="; the value after the
// first "=" (the whole line without one). A part whose delimiters are
// missing or out of order is empty.
std::string_view SceneCfgKeyword(std::string_view line);
std::string_view SceneCfgName(std::string_view line);
std::string_view SceneCfgKey(std::string_view line);
std::string_view SceneCfgValue(std::string_view line);
// The parts of "a,b,c": before the first comma (the whole value without
// one), between the first and the second (to the end without a second), and
// after the second (empty without two commas).
std::string_view SceneCfgField1(std::string_view value);
std::string_view SceneCfgField2(std::string_view value);
std::string_view SceneCfgField3(std::string_view value);

// The highest index whose name equals the given one exactly, -1 for none.
// Lights are searched among all eight.
int SceneCfgMaterialIndex(const _OVX_SCENE* scene, std::string_view name);
int SceneCfgObjectIndex(const _OVX_SCENE* scene, std::string_view name);
int SceneCfgLightIndex(const _OVX_SCENE* scene, std::string_view name);

// One key of the named entry; kSceneCfgOk also for a line that was logged
// and skipped or a key that is not one of the section's.
int SceneCfgMaterialKey(_OVX_SCENE* scene, std::string_view name, std::string_view key, std::string_view value);
int SceneCfgObjectKey(_OVX_SCENE* scene, std::string_view name, std::string_view key, std::string_view value);
int SceneCfgLightKey(_OVX_SCENE* scene, std::string_view name, std::string_view key, std::string_view value);

