// quorvane-gifenc as a user runs it: the GIF it writes, and how it refuses bad input.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "AnimationFrames.h"
#include "GifDecode.h"
#include "gifimage.h"

namespace fs = std::filesystem;
using namespace gifimage;

namespace {

constexpr int kWidth = 40, kHeight = 30, kFrames = 3;

class GifencTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("gifenc-test-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "ppm");
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> noise(0, 40);
    for (int f = 0; f < kFrames; ++f) {
      std::vector<std::uint8_t> rgb(kWidth * kHeight * 3);
      for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
          std::uint8_t* p = &rgb[(y * kWidth + x) * 3];
          const bool border = x < 5 || x >= kWidth - 5;  // lime, as the program's background
          p[0] = border ? 0 : static_cast<std::uint8_t>(x * 6 + f * 20 + noise(rng));
          p[1] = border ? 255 : static_cast<std::uint8_t>(y * 8 + noise(rng));
          p[2] = border ? 0 : static_cast<std::uint8_t>(200 - x * 3 + noise(rng));
        }
      frames.push_back(rgb);
      std::ofstream raw(dir / "frames.rgb", std::ios::binary | std::ios::app);
      raw.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
      std::ofstream ppm(dir / "ppm" / ("f" + std::to_string(f) + ".ppm"), std::ios::binary);
      ppm << "P6\n" << kWidth << " " << kHeight << "\n255\n";
      ppm.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    }
  }
  void TearDown() override { fs::remove_all(dir); }

  int Run(const std::string& arguments) {
    const std::string command = std::string(QUORVANE_GIFENC) + " " + arguments + " --quiet 2>" +
                                (dir / "stderr.txt").string();
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Stderr() {
    std::ifstream in(dir / "stderr.txt");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static std::vector<std::uint8_t> Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  fs::path dir;
  std::vector<std::vector<std::uint8_t>> frames;
};

}  // namespace

// The tool writes what the conversion's frame steps write for the same frames, from a raw
// file and from a PPM folder alike, on one thread or several.
TEST_F(GifencTool, WritesTheProgramsBytesFromRawAndPpmInput) {
  const std::string size = " --width " + std::to_string(kWidth) + " --height " + std::to_string(kHeight);
  ASSERT_EQ(Run("--in " + (dir / "frames.rgb").string() + size +
                " --loop --delay 7 --transparent 00FF00 --out " + (dir / "raw.gif").string()),
            0)
      << Stderr();
  ASSERT_EQ(Run("--in " + (dir / "ppm").string() + " --loop --delay 7 --transparent 00ff00 --out " +
                (dir / "ppm.gif").string()),
            0)
      << Stderr();

  gifenc::AnimationSettings settings;
  settings.Loop = true;
  settings.Delay = 7;
  settings.Transparent = 0x00FF00;
  TGIFImage image;
  gifenc::ConfigureAnimation(image, settings);
  for (const auto& rgb : frames) {
    TBitmap bmp(kWidth, kHeight, TPixelFormat::pf24bit);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        for (int c = 0; c < 3; ++c) bmp.ScanLine(y)[3 * x + c] = rgb[(y * kWidth + x) * 3 + 2 - c];
    gifenc::AddAnimationFrame(image, bmp, settings);
  }
  TMemoryStream expected;
  image.SaveToStream(expected);
  EXPECT_EQ(Bytes(dir / "raw.gif"), expected.Bytes());
  EXPECT_EQ(Bytes(dir / "ppm.gif"), expected.Bytes());
  for (const char* threads : {"1", "2", "5"}) {
    SCOPED_TRACE(threads);
    const fs::path out = dir / (std::string("threads-") + threads + ".gif");
    ASSERT_EQ(Run("--in " + (dir / "frames.rgb").string() + size + " --threads " + threads +
                  " --loop --delay 7 --transparent 00FF00 --out " + out.string()),
              0)
        << Stderr();
    EXPECT_EQ(Bytes(out), expected.Bytes());
  }

  const gifdecode::Gif gif = gifdecode::DecodeFile((dir / "raw.gif").string());
  ASSERT_EQ(gif.frames.size(), static_cast<std::size_t>(kFrames));
  for (int f = 0; f < kFrames; ++f) {
    SCOPED_TRACE(f);
    const gifdecode::Frame& frame = gif.frames[static_cast<std::size_t>(f)];
    EXPECT_EQ(frame.delay, 7);
    EXPECT_EQ(frame.loops.has_value(), f == 0);
    EXPECT_EQ(frame.localColors.size(), 256u);
    ASSERT_GE(frame.transparentIndex, 0);  // the lime border survives the reduction
    const gifdecode::Color key = frame.localColors[static_cast<std::size_t>(frame.transparentIndex)];
    EXPECT_EQ(key, (gifdecode::Color{0, 255, 0}));
  }
}

TEST_F(GifencTool, RefusesBadInputWithAMessageAndWritesNothing) {
  {
    std::ofstream partial(dir / "partial.rgb", std::ios::binary);
    partial << std::string(kWidth * kHeight * 3 + 10, 'x');
  }
  const std::string out = " --out " + (dir / "out.gif").string();
  const std::string size = " --width " + std::to_string(kWidth) + " --height " + std::to_string(kHeight);
  struct Case {
    const char* name;
    std::string arguments;
  };
  const Case cases[] = {
      {"partial frame", "--in " + (dir / "partial.rgb").string() + size + out},
      {"missing input", "--in " + (dir / "none.rgb").string() + size + out},
      {"zero width", "--in " + (dir / "frames.rgb").string() + " --width 0 --height 30" + out},
      {"dither out of range", "--in " + (dir / "frames.rgb").string() + size + " --dither 4" + out},
      {"bad colour", "--in " + (dir / "frames.rgb").string() + size + " --transparent 12345" + out},
      {"unknown option", "--in " + (dir / "frames.rgb").string() + size + " --fast" + out},
      {"no threads", "--in " + (dir / "frames.rgb").string() + size + " --threads 0" + out},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Run(c.arguments), 2);
    EXPECT_FALSE(Stderr().empty());
    EXPECT_FALSE(fs::exists(dir / "out.gif"));
  }
  // An output that cannot be created is the output's failure, not the input's.
  EXPECT_EQ(Run("--in " + (dir / "frames.rgb").string() + size + " --out " + (dir / "no" / "such" / "x.gif").string()), 1);
  EXPECT_FALSE(Stderr().empty());
}
