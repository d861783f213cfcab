// Throughput of the GIF encoder's stages on the sample frames of bench/make-frames: colour
// reduction per mode and dither engine, the octree palette alone, LZW compression with
// writing, and the whole Add of a frame. One thread; figures in megapixels per second of source (or index) pixels.
//
// Frames are read from $QUORVANE_BENCH_FRAMES, else from the bench/out folder of the source
// tree, as frames-WxH.rgb. Without --benchmark_min_time each case runs for about 0.4 s.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "AnimationFrames.h"
#include "FrameReader.h"
#include "gifimage.h"

#ifndef QUORVANE_BENCH_DEFAULT_FRAMES
#define QUORVANE_BENCH_DEFAULT_FRAMES "bench/out"
#endif

namespace {

using namespace gifimage;

// The frames of one size, kept as packed blue, green, red rows.
struct FrameSet {
  int Width = 0, Height = 0;
  std::vector<std::vector<std::uint8_t>> Frames;

  std::string Name() const { return std::to_string(Width) + "x" + std::to_string(Height); }
  double Pixels() const { return static_cast<double>(Width) * Height; }
  TBitmap View(std::size_t index) const {
    return TBitmap::View(Frames[index % Frames.size()].data(), Width, Height, 3 * static_cast<std::ptrdiff_t>(Width),
                         TPixelFormat::pf24bit);
  }
};

FrameSet LoadFrames(const std::string& folder, int width, int height) {
  FrameSet set;
  set.Width = width;
  set.Height = height;
  const std::string path = folder + "/frames-" + std::to_string(width) + "x" + std::to_string(height) + ".rgb";
  const auto reader = gifenc::OpenRawFrames(path, width, height);
  for (std::vector<std::uint8_t> bgr; reader->Next(bgr);) set.Frames.push_back(bgr);
  return set;
}

// A sink that only counts what the writer hands it.
class CountingStream final : public TStream {
 public:
  void Write(const void*, std::size_t count) override { FCount += count; }
  std::uint64_t Count() const { return FCount; }

 private:
  std::uint64_t FCount = 0;
};

// pixels per iteration, reported as a rate in megapixels per second.
void ReportPixels(benchmark::State& state, double pixels) {
  state.counters["Mpx/s"] =
      benchmark::Counter(pixels * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void ReduceColorsCase(benchmark::State& state, const FrameSet* set, TColorReduction reduction, TDitherMode dither) {
  std::size_t next = 0;
  for (auto _ : state) {
    TBitmap reduced = ReduceColors(set->View(next++), reduction, dither);
    benchmark::DoNotOptimize(reduced.ScanLine(0));
  }
  ReportPixels(state, set->Pixels());
}

// The palette alone (the octree pass of the optimised modes), which tells how a reduction's
// time splits between choosing colours and mapping pixels to them.
void PaletteCase(benchmark::State& state, const FrameSet* set, TColorReduction reduction) {
  std::size_t next = 0;
  for (auto _ : state) {
    TPalette palette = BuildReductionPalette(set->View(next++), reduction, nullptr, 8);
    benchmark::DoNotOptimize(palette.data());
  }
  ReportPixels(state, set->Pixels());
}

// The frames reduced as the program reduces them (optimised colours, Floyd-Steinberg), saved
// whole into a counting sink: LZW, sub-blocks, tables and extensions.
void LzwWriteCase(benchmark::State& state, const FrameSet* set) {
  gifenc::AnimationSettings settings;
  settings.Loop = true;
  TGIFImage image;
  gifenc::ConfigureAnimation(image, settings);
  for (std::size_t i = 0; i < set->Frames.size(); ++i) gifenc::AddAnimationFrame(image, set->View(i), settings);
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    CountingStream sink;
    image.SaveToStream(sink);
    bytes = sink.Count();
  }
  const double pixels = set->Pixels() * static_cast<double>(set->Frames.size());
  ReportPixels(state, pixels);
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["bits/px"] = 8.0 * static_cast<double>(bytes) / pixels;
}

// TGIFImage::Add of one frame: colour reduction, then the frame's table and indices.
void AddCase(benchmark::State& state, const FrameSet* set, TColorReduction reduction, TDitherMode dither) {
  std::size_t next = 0;
  for (auto _ : state) {
    TGIFImage image;
    image.SetColorReduction(reduction);
    image.SetDitherMode(dither);
    benchmark::DoNotOptimize(image.Add(set->View(next++)));
  }
  ReportPixels(state, set->Pixels());
}

struct Named {
  const char* Name;
  int Value;
};

constexpr Named kReductions[] = {{"QuantizeWindows", rmQuantizeWindows}, {"GrayScale", rmGrayScale}};
// In the order of TDitherMode, so kDithers[mode] is that mode.
constexpr Named kDithers[] = {{"Nearest", dmNearest},   {"FloydSteinberg", dmFloydSteinberg},
                              {"Stucki", dmStucki},     {"Sierra", dmSierra},
                              {"JaJuNI", dmJaJuNI},     {"SteveArche", dmSteveArche},
                              {"Burkes", dmBurkes}};

}  // namespace

int main(int argc, char** argv) {
  const char* env = std::getenv("QUORVANE_BENCH_FRAMES");
  const std::string folder = env && *env ? env : QUORVANE_BENCH_DEFAULT_FRAMES;
  static std::vector<FrameSet> sets;
  try {
    for (const auto& [w, h] : {std::pair{320, 240}, std::pair{640, 480}, std::pair{1000, 1000}})
      sets.push_back(LoadFrames(folder, w, h));
  } catch (const std::exception& e) {
    std::fprintf(stderr,
                 "gifimage_bench: %s\nMake the sample frames first: bench/make-frames [FOLDER] "
                 "(and point QUORVANE_BENCH_FRAMES at FOLDER when it is not %s)\n",
                 e.what(), QUORVANE_BENCH_DEFAULT_FRAMES);
    return 2;
  }

  for (const Named& reduction : kReductions)
    for (const Named& dither : kDithers)
      for (const FrameSet& set : sets)
        benchmark::RegisterBenchmark(
            ("ReduceColors/" + std::string(reduction.Name) + "/" + dither.Name + "/" + set.Name()).c_str(),
            ReduceColorsCase, &set, static_cast<TColorReduction>(reduction.Value),
            static_cast<TDitherMode>(dither.Value))
            ->Unit(benchmark::kMillisecond);
  for (const FrameSet& set : sets)
    benchmark::RegisterBenchmark(("Palette/QuantizeWindows/" + set.Name()).c_str(), PaletteCase, &set,
                                 rmQuantizeWindows)
        ->Unit(benchmark::kMillisecond);
  for (const FrameSet& set : sets)
    benchmark::RegisterBenchmark(("LZW+write/" + set.Name()).c_str(), LzwWriteCase, &set)->Unit(benchmark::kMillisecond);
  // Add: the program's settings (optimised colours with Floyd-Steinberg or nearest colour)
  // and greyscale.
  const std::pair<const Named&, const Named&> addCases[] = {
      {kReductions[0], kDithers[dmFloydSteinberg]}, {kReductions[0], kDithers[dmNearest]},
      {kReductions[1], kDithers[dmFloydSteinberg]}};
  for (const auto& [reduction, dither] : addCases)
    for (const FrameSet& set : sets)
      benchmark::RegisterBenchmark(
          ("Add/" + std::string(reduction.Name) + "/" + dither.Name + "/" + set.Name()).c_str(), AddCase, &set,
          static_cast<TColorReduction>(reduction.Value), static_cast<TDitherMode>(dither.Value))
          ->Unit(benchmark::kMillisecond);

  // A modest default run time per case keeps the whole run near a minute; a
  // --benchmark_min_time on the command line wins.
  std::vector<char*> args(argv, argv + argc);
  bool minTimeGiven = false;
  for (int i = 1; i < argc; ++i) minTimeGiven = minTimeGiven || std::string(argv[i]).starts_with("--benchmark_min_time");
  static char defaultMinTime[] = "--benchmark_min_time=0.4";
  if (!minTimeGiven) args.push_back(defaultMinTime);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
