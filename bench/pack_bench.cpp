// Reading the demo archive through the file layer against the least any
// reader must do: read the stored bytes of each entry with stdio and unpack
// them with zlib. The file layer should cost at most 1.3 times that over
// every entry, and at most 1.5 times for one small entry; the ratios are
// printed after the timings.
//
// The archive is the demo data's (built by mkdemo); QUARN_ARCHIVE names
// another one.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/file-pack.h"
#include "framework/base/file.h"
#include "framework/base/z.h"

namespace {

struct Entry {
  std::string name;
  uint32_t offset;
  uint32_t stored;
  uint32_t real;
  bool compressed;
};

std::string archivePath;
std::vector<Entry> entries;
const Entry* smallEntry = nullptr;

const char* ArchivePath() {
  const char* chosen = std::getenv("QUARN_ARCHIVE");
  return chosen && *chosen ? chosen : QUARN_DEMO_ARCHIVE;
}

// Mounts the archive from an empty folder of our own, so that no loose file
// answers for an entry, and lists its entries.
bool Prepare() {
  archivePath = ArchivePath();
  char folder[] = "/tmp/pack-bench-XXXXXX";
  if (!mkdtemp(folder) || chdir(folder) != 0) return false;
  rmdir(folder);  // stays the current folder, empty, and leaves nothing behind
  if (SYS_FilePackOpen(archivePath.c_str()) != 0) return false;
  SYS_Pack_p pack = SYS_PackNewest();
  for (uint32_t i = 0; pack && i < pack->count; ++i) {
    const SYS_PackEntry_t& e = pack->entries[i];
    const int64_t real = SYS_FileSize(e.name);
    entries.push_back({e.name, e.dataOffset, e.storedSize, static_cast<uint32_t>(real),
                       (e.flags & SYS_PACK_COMPRESSED) != 0});
  }
  // The smallest compressed entry: the open's own cost weighs most there.
  for (const Entry& e : entries)
    if (e.compressed && (!smallEntry || e.real < smallEntry->real)) smallEntry = &e;
  return !entries.empty() && smallEntry;
}

// As the disk loads a file: open, size, one read into a buffer of its own.
void LoadThroughFileLayer(const Entry& e) {
  SYS_File_p f = SYS_FileOpen(e.name.c_str(), 0);
  const int64_t size = SYS_FileSize(e.name.c_str());
  auto* buffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size) + 1));
  benchmark::DoNotOptimize(SYS_FileRead(f, buffer, size));
  SYS_FileClose(f);
  std::free(buffer);
}

// The bare work: the stored bytes with fread, unpacked with zlib.
void LoadBare(FILE* archive, const Entry& e) {
  auto* stored = static_cast<uint8_t*>(std::malloc(e.stored + 1));
  std::fseek(archive, e.offset, SEEK_SET);
  benchmark::DoNotOptimize(std::fread(stored, 1, e.stored, archive));
  if (e.compressed) {
    auto* out = static_cast<uint8_t*>(std::malloc(e.real + 1));
    uLongf length = e.real;
    uncompress(out, &length, stored + SYS_ZBLOCK_HEADER, e.stored - SYS_ZBLOCK_HEADER);
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  std::free(stored);
}

void EveryEntryThroughFileLayer(benchmark::State& state) {
  for (auto _ : state)
    for (const Entry& e : entries) LoadThroughFileLayer(e);
}

void EveryEntryBare(benchmark::State& state) {
  FILE* archive = std::fopen(archivePath.c_str(), "rb");
  for (auto _ : state)
    for (const Entry& e : entries) LoadBare(archive, e);
  std::fclose(archive);
}

void SmallEntryThroughFileLayer(benchmark::State& state) {
  for (auto _ : state) LoadThroughFileLayer(*smallEntry);
}

void SmallEntryBare(benchmark::State& state) {
  FILE* archive = std::fopen(archivePath.c_str(), "rb");
  for (auto _ : state) LoadBare(archive, *smallEntry);
  std::fclose(archive);
}

// Keeps each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // One run each, or with repetitions their median.
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) perIteration.emplace(run.run_name.function_name, run.GetAdjustedRealTime());
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        perIteration[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> perIteration;
};

}  // namespace

int main(int argc, char** argv) {
  if (!Prepare()) {
    std::fprintf(stderr, "pack_bench: cannot mount %s\n", archivePath.c_str());
    return 1;
  }
  benchmark::RegisterBenchmark("EveryEntryThroughFileLayer", EveryEntryThroughFileLayer);
  benchmark::RegisterBenchmark("EveryEntryBare", EveryEntryBare);
  benchmark::RegisterBenchmark("SmallEntryThroughFileLayer", SmallEntryThroughFileLayer);
  benchmark::RegisterBenchmark("SmallEntryBare", SmallEntryBare);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto ratio = [&](const char* layer, const char* bare) {
    const double b = reporter.perIteration[bare];
    return b > 0 ? reporter.perIteration[layer] / b : 0.0;
  };
  std::printf("\n%s: %zu entries; smallest compressed entry %s (%u bytes, %u stored)\n", archivePath.c_str(),
              entries.size(), smallEntry->name.c_str(), smallEntry->real, smallEntry->stored);
  std::printf("every entry: file layer / (fread + uncompress) = %.2f (goal: at most 1.30)\n",
              ratio("EveryEntryThroughFileLayer", "EveryEntryBare"));
  std::printf("small entry: file layer / (fread + uncompress) = %.2f (goal: at most 1.50)\n",
              ratio("SmallEntryThroughFileLayer", "SmallEntryBare"));
  benchmark::Shutdown();
  return 0;
}
