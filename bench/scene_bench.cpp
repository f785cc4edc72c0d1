// The scene precalculation on a generated scene of 100,000 faces, built in
// memory (no file is read): what a scene load adds after reading its chunks.
// The goal is a whole load under 1 s on one core, so this part has to stay
// well below it. The scene is an old-version file, so the edge adjacency is
// computed too (the step whose pairwise search would take minutes here).
// The GL buffer calls go to stand-ins that only hand out names, so the
// figure is the CPU side alone; no GL context is needed.
//
// A second benchmark times the adjacency alone on one object of 100,000
// faces; a third the whole load of that scene from a file written by
// SaveScene: reading and checking the chunks, then the precalculation.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/loader.h"
#include "engine/ovx.h"
#include "engine/precalc.h"
#include "engine/scenefree.h"
#include "units/glunit.h"

namespace {

constexpr int kObjects = 10;
constexpr int kColumns = 100;  // quads across each object's grid
constexpr int kRows = 50;      // 100 x 50 quads = 10,000 faces per object

GLuint nextName = 1;
void GenBuffers(GLsizei n, GLuint* names) {
  for (GLsizei i = 0; i < n; ++i) names[i] = nextName++;
}
void BindBuffer(GLenum, GLuint) {}
void BufferData(GLenum, GLsizeiptrARB, const void*, GLenum) {}
void DeleteBuffers(GLsizei, const GLuint*) {}

// A wavy grid of columns x rows quads, two triangles each, with texture
// coordinates and normals.
struct Grid {
  std::vector<_OVX_VECTOR> vertices, normals;
  std::vector<_OVX_TEXTCOORD> texcoords;
  std::vector<_OVX_FACE> faces;

  Grid(int columns, int rows) {
    for (int y = 0; y <= rows; ++y)
      for (int x = 0; x <= columns; ++x) {
        vertices.push_back({static_cast<float>(x), static_cast<float>(y), static_cast<float>((x * 7 + y * 3) % 5)});
        normals.push_back({0.0f, 0.0f, 1.0f});
        texcoords.push_back({static_cast<float>(x) / columns, static_cast<float>(y) / rows});
      }
    const int stride = columns + 1;
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < columns; ++x) {
        const int v = y * stride + x;
        faces.push_back({v, v + 1, v + stride + 1});
        faces.push_back({v, v + stride + 1, v + stride});
      }
  }
  void Attach(_OVX_OBJECT& o) {
    o.vertexcount = static_cast<int32_t>(vertices.size());
    o.facecount = static_cast<int32_t>(faces.size());
    o.vertices = vertices.data();
    o.normals = normals.data();
    o.texcoords = texcoords.data();
    o.faces = faces.data();
    o.hasnormals = o.hastexcoords = 1;
  }
};

void InstallBufferStandIns() {
  qgl::glGenBuffersARB = GenBuffers;
  qgl::glBindBufferARB = BindBuffer;
  qgl::glBufferDataARB = BufferData;
  qgl::glDeleteBuffersARB = DeleteBuffers;
}

// The scene of 10 grids over arrays that the caller's vectors own.
struct GridScene {
  Grid grid{kColumns, kRows};
  std::vector<_OVX_OBJECT> objects = std::vector<_OVX_OBJECT>(kObjects);
  std::vector<_OVX_MATERIAL> materials = std::vector<_OVX_MATERIAL>(1);
  std::vector<_OVX_KEYVECTOR> keys = {{0, 0, 0, 0}, {100, 50, 0, 10}, {200, 100, 50, 0}};
  _OVX_SCENE scene{};

  GridScene() {
    for (_OVX_OBJECT& o : objects) grid.Attach(o);
    materials[0].textured = 1;
    scene.versionmajor = 1;
    scene.versionminor = 1;
    scene.objects = objects.data();
    scene.objectcount = kObjects;
    scene.materials = materials.data();
    scene.materialcount = 1;
    scene.camerakeys = scene.targetkeys = keys.data();
    scene.camerakeycount = scene.targetkeycount = static_cast<int32_t>(keys.size());
  }
};

void BM_PrecalculateScene(benchmark::State& state) {
  InstallBufferStandIns();
  GridScene grid;
  _OVX_SCENE& scene = grid.scene;
  for (auto _ : state) {
    PrecalculateScene(&scene);  // each run releases the previous one's arrays first
    benchmark::DoNotOptimize(scene.volumeindices);
  }
  ReleasePrecalculation(&scene);
  state.counters["faces"] = static_cast<double>(kObjects) * grid.grid.faces.size();
}
BENCHMARK(BM_PrecalculateScene)->Unit(benchmark::kMillisecond);

void BM_LoadScene(benchmark::State& state) {
  InstallBufferStandIns();
  InitLoaderUnit();
  const std::string file = "/tmp/scene_bench.scene";
  {
    GridScene grid;
    if (SaveScene(&grid.scene, file) != 0) state.SkipWithError("cannot write the scene file");
  }
  for (auto _ : state) {
    _OVX_SCENE scene{};
    if (LoadScene(&scene, file) != 0) state.SkipWithError("the scene did not load");
    FreeScene(&scene);
  }
  std::remove(file.c_str());
  state.counters["faces"] = static_cast<double>(kObjects) * 2 * kColumns * kRows;
}
BENCHMARK(BM_LoadScene)->Unit(benchmark::kMillisecond);

void BM_ComputeNeighbours(benchmark::State& state) {
  Grid grid(kColumns * 10, kRows);
  _OVX_OBJECT o{};
  grid.Attach(o);
  std::vector<_OVX_FACE> neighbours(static_cast<size_t>(o.facecount));
  o.neighbours = neighbours.data();
  for (auto _ : state) {
    ComputeNeighbours(&o);
    benchmark::DoNotOptimize(o.neighbours);
  }
  state.counters["faces"] = static_cast<double>(grid.faces.size());
}
BENCHMARK(BM_ComputeNeighbours)->Unit(benchmark::kMillisecond);

}  // namespace
