// "quorvane --convert" as a script runs it, without a display: what it writes, its exit codes
// and the window's refusal texts on stderr.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>

#include "GifDecode.h"
#include "PlayerTestSupport.h"

namespace {

class CommandLineRun : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QString Out() const { return dir.filePath(QStringLiteral("out.gif")); }

  // Runs the program with DISPLAY and WAYLAND_DISPLAY unset and QT_QPA_PLATFORM cleared.
  int Run(const QString& arguments) {
    const QString command = QStringLiteral("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM %1 %2 2>%3")
                                .arg(QStringLiteral(QUORVANE_PROGRAM), arguments, dir.filePath(QStringLiteral("err.txt")));
    const int status = std::system(command.toLocal8Bit().constData());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // The program's own lines on stderr (Qt may add notes of its own about the environment).
  QString Stderr() const {
    QFile file(dir.filePath(QStringLiteral("err.txt")));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QString own;
    for (const QString& line : QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n')))
      if (line.startsWith(QLatin1String("quorvane: "))) own += line + QLatin1Char('\n');
    return own;
  }
  static QString Sample(const char* name) { return playertest::Sample(name); }
};

TEST_F(CommandLineRun, ConvertsEveryFrameOfTheClipWithoutADisplay) {
  ASSERT_EQ(Run(QStringLiteral("--convert %1 --out %2 --start 1 --end 00:02.5 --fps 10 --size 160x120 --exact-timing --quiet")
                    .arg(Sample("h264_640x480.mp4"), Out())),
            0)
      << Stderr().toStdString();
  const gifdecode::Gif gif = gifdecode::DecodeFile(Out().toStdString());
  ASSERT_EQ(gif.frames.size(), 15u);  // ceil(1500 ms x 10 / 1000)
  EXPECT_EQ(gif.screenWidth, 160);
  int hundredths = 0;
  for (const gifdecode::Frame& frame : gif.frames) hundredths += frame.delay;
  EXPECT_EQ(hundredths, 150);
  EXPECT_TRUE(Stderr().isEmpty()) << Stderr().toStdString();
}

TEST_F(CommandLineRun, RefusesWithTheWindowsTextsAndWritesNothing) {
  struct Case {
    const char* what;
    QString arguments;
    int exit;
    QString message;
  };
  const QString clip = Sample("h264_640x480.mp4");
  const Case cases[] = {
      {"too short", QStringLiteral("--convert %1 --out %2 --start 1 --end 1.2").arg(clip, Out()), 2,
       QStringLiteral("quorvane: Trimmed part of the video is less than 0.5 second. Please set larger interval.\n")},
      {"empty crop", QStringLiteral("--convert %1 --out %2 --crop 0,0,0,10").arg(clip, Out()), 2,
       QStringLiteral("quorvane: Crop area is empty. Please set a crop width and height above 0.\n")},
      {"not a video", QStringLiteral("--convert %1 --out %2").arg(Sample("not_media.mp4"), Out()), 2,
       QStringLiteral("quorvane: Could not play video. Please try to open another file.\n")},
      {"bad option", QStringLiteral("--convert %1 --out %2 --fps 0").arg(clip, Out()), 2,
       QStringLiteral("quorvane: --fps wants a whole number 1..30, not '0' (see --help)\n")},
      {"output folder missing", QStringLiteral("--convert %1 --out %2 --quiet").arg(clip, dir.filePath(QStringLiteral("no/such/x.gif"))), 1,
       QString()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Run(c.arguments), c.exit);
    if (!c.message.isEmpty())
      EXPECT_EQ(Stderr(), c.message);
    else
      EXPECT_FALSE(Stderr().isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("err.txt")});
  }
}

}  // namespace
