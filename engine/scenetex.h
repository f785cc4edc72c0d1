// The textures a scene's materials and particle emitters name, loaded
// through the texture management table (units/texmgr.h), and a text export
// of the scene's geometry.
//
// Texture names come from scene files and may use either "/" or "\"; every
// path is built by SceneDataPath, so one image always reaches the table
// under one name (the table shares textures by name) and in the form the
// file layer and pack entries use.
//
// Which textures a scene holds, and so what ReleaseSceneTextures gives back:
//   - a material with `textured` set: the table's texture for its name with
//     the material's filter mode (`magtype`, handed on as it is: the table
//     makes an empty texture for a mode outside 0..3); "$framebuffer$.jpg"
//     instead names the first capture texture (engine/capture.h) as it is at
//     load time, 0 when the application has not created it yet; it belongs
//     to no table entry and is never released here;
//   - a material with `envmap` set: its environment map with mode 3;
//   - an object whose emitter is enabled and names a particle texture: mode 3.
// A texture the table cannot load, an empty material texture name among
// them, ends the program (the table's FatalError). ReleaseSceneTextures sets
// each released name back to 0, so a second call releases nothing; on a
// record marked `sharedcopy` it releases nothing at all (the textures, like
// the arrays, belong to the record the copy was made from).
//
// Where this unit differs from the plain description, and why:
//   - a shared copy releases nothing, and a released name is set to 0 (a
//     second release would take references other scenes hold: lost data).
//   - a mesh text file that cannot be created or written ends the export
//     with ERR_CANTCREATE instead of a run-time error that ends the program
//     (crash).
#pragma once
#include <string>
#include <string_view>

#include "engine/ovx.h"
#include "framework/base/log.h"

// The name a scene texture is loaded under: folder, "\", name, with every
// "/" turned into "\" and the folder's trailing separators dropped; the name
// alone when the folder is empty.
std::string SceneDataPath(std::string_view folder, std::string_view name);

// The material name that stands for the first capture texture.
constexpr std::string_view kFramebufferTextureName = "$framebuffer$.jpg";

void LoadSceneTextures(_OVX_SCENE* scene, std::string_view folder);
void ReleaseSceneTextures(_OVX_SCENE* scene);

// Writes base + "v" (per object: its name, a line holding one blank, then
// "j x y z" per vertex with four decimals) and base + "f" (the same two
// lines, then "j a b c" per face). Numbers are written as "%.4f" of the C
// locale would write them, a negative zero as -0.0000. ERR_NONE, or
// ERR_CANTCREATE when a file cannot be created or written.
int ExportMeshText(const _OVX_SCENE* scene, std::string_view baseName);
