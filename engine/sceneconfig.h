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
// Entries are found by name: when several carry it, the one with the
// highest index takes the line (eight unnamed lights all answer to light
// 7); when none does, entry 0 takes it. A section with no entries at all
// (no materials, no objects) has no entry 0: its named lines are logged and
// skipped. A one-byte value keeps the low eight bits of its integer. A
// colour or vector value with fewer than three comma-separated parts is
// logged and skipped. A strict integer (material, rendermode, colorattrib,
// newparticle, passno) that is not a decimal integer ends the load with
// kSceneCfgBadInteger; the lines before it stay applied. An object's
// material and passno are stored as given, in range or not (the drawing code
// passes over an object whose material is not in the list). Whenever the file
// was read, passcount is recomputed from the objects' passno afterwards.
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

// The highest index whose name equals the given one exactly; 0 when no
// entry carries the name, -1 when the section has no entries. Lights are
// searched among all eight.
int SceneCfgMaterialIndex(const _OVX_SCENE* scene, std::string_view name);
int SceneCfgObjectIndex(const _OVX_SCENE* scene, std::string_view name);
int SceneCfgLightIndex(const _OVX_SCENE* scene, std::string_view name);

// One key of the named entry; kSceneCfgOk also for a line that was logged
// and skipped or a key that is not one of the section's.
int SceneCfgMaterialKey(_OVX_SCENE* scene, std::string_view name, std::string_view key, std::string_view value);
int SceneCfgObjectKey(_OVX_SCENE* scene, std::string_view name, std::string_view key, std::string_view value);
int SceneCfgLightKey(_OVX_SCENE* scene, std::string_view name, std::string_view key, std::string_view value);

