// Test helpers of the engine: scene records over arrays the test owns, a
// log sink that keeps the lines, and a locale whose decimal mark is a comma.
#pragma once
#include <sys/wait.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/loader.h"
#include "engine/ovx.h"
#include "framework/wm/glrecorder.h"
#include "units/glunit.h"
#include "testsupport/units/glrecording.h"
#include "units/gluunit.h"
#include "testsupport/testsupport.h"

namespace scenetest {

// A scene whose materials and objects live in vectors of the test; entries
// start zeroed and carry the given names.
struct OwnedScene {
  std::vector<_OVX_MATERIAL> materials;
  std::vector<_OVX_OBJECT> objects;
  _OVX_SCENE scene{};

  OwnedScene(std::vector<std::string> materialNames, std::vector<std::string> objectNames)
      : materials(materialNames.size()), objects(objectNames.size()) {
    for (size_t i = 0; i < materials.size(); ++i) materials[i].name.assign(materialNames[i]);
    for (size_t i = 0; i < objects.size(); ++i) objects[i].name.assign(objectNames[i]);
    scene.materials = materials.empty() ? nullptr : materials.data();
    scene.objects = objects.empty() ? nullptr : objects.data();
    scene.materialcount = static_cast<int32_t>(materials.size());
    scene.objectcount = static_cast<int32_t>(objects.size());
  }
  OwnedScene(const OwnedScene&) = delete;
  OwnedScene& operator=(const OwnedScene&) = delete;
  _OVX_MATERIAL& material(size_t i) { return materials[i]; }
  _OVX_OBJECT& object(size_t i) { return objects[i]; }
};

// Keeps every line the engine logs while it lives.
class LogLines {
 public:
  LogLines() { old_ = LoaderSetLogSink(Keep); Lines().clear(); }
  ~LogLines() { LoaderSetLogSink(old_); }
  LogLines(const LogLines&) = delete;
  LogLines& operator=(const LogLines&) = delete;
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }

 private:
  static void Keep(std::string_view line) { Lines().emplace_back(line); }
  LoaderLogSink old_ = nullptr;
};

inline void RecordCopyTexImage(GLenum, GLint level, GLenum format, GLint x, GLint y, GLsizei w, GLsizei h, GLint) {
  glrec::rec.calls.push_back("copy " + std::to_string(level) + " " + glrec::Hex(format) + " " + std::to_string(x) +
                             "," + std::to_string(y) + " " + std::to_string(w) + "x" + std::to_string(h));
}

// Points the GL unit's texture entries at an emptied recorder
// (framework/wm/glrecorder.h).
inline void UseRecordingGL() {
  glrec::UseRecordingUnitTextures();
  qgl::glEnable = glrec::Enable;
  qgl::glCopyTexImage2D = RecordCopyTexImage;
}

inline bool DecimalMarkIsComma() {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", 1.5);
  return std::string(text) == "1,5";
}

// Switches the process to de_DE.UTF-8, built into a temporary folder with
// localedef when the system does not have it (no network is needed: the
// sources come with the C library). False when neither works; the caller
// then runs under the C locale and says so.
inline bool UseCommaLocale() {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") && DecimalMarkIsComma()) return true;
  static qt::TempDir folder;
  qt::SpawnSpec spec;
  spec.argv = {"localedef", "-i", "de_DE", "-f", "UTF-8", folder / "de_DE.UTF-8"};
  spec.stdoutPath = spec.stderrPath = "/dev/null";
  pid_t pid = qt::Spawn(spec);
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid) return false;
  setenv("LOCPATH", folder.path().c_str(), 1);
  return std::setlocale(LC_ALL, "de_DE.UTF-8") && DecimalMarkIsComma();
}

inline void UseCLocale() {
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
}

}  // namespace scenetest
