#include "PlayerTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

#include <memory>

#include <gtest/gtest.h>

namespace playertest {

QString Sample(const char *name)
{
  return QStringLiteral(QUORVANE_SAMPLES_DIR "/") + QString::fromLatin1(name);
}

bool WaitUntil(const std::function<bool()> &predicate, int ms)
{
  QElapsedTimer timer;
  timer.start();
  while (!predicate()) {
    if (timer.elapsed() > ms)
      return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

bool RunEventsPostedSoFar()
{
  // Shared with the queued call, which may still run after a hang was reported.
  const auto reached = std::make_shared<bool>(false);
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [reached] { *reached = true; }, Qt::QueuedConnection);
  return WaitUntil([&] { return *reached; }, kHangMs);
}

int FrameIndex(const QImage &frame)
{
  if (frame.width() < 256 || frame.height() < 16)
    return -1;
  int index = 0;
  for (int k = 0; k < 16; ++k) {
    const bool white = qGray(frame.pixel(16 * k + 8, 8)) > 128;
    index = (index << 1) | (white ? 1 : 0);
  }
  return index;
}

Bars BarsOf(const QImage &frame)
{
  if (frame.width() < 640 || frame.height() < 480)
    return Bars::None;
  bool grey = true;
  bool flat = true;
  const QRgb first = frame.pixel(20, 300);
  for (int x = 20; x < 640; x += 80) {
    const QRgb pixel = frame.pixel(x, 300);
    grey = grey && qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel);
    flat = flat && pixel == first;
  }
  return flat ? Bars::None : grey ? Bars::Grey : Bars::Colour;
}

bool IsChild(const char *childFlag)
{
  return !qEnvironmentVariableIsEmpty(childFlag);
}

void ExpectChildPasses(const char *childFlag, const char *gtestFilter,
                       const QStringList &environment)
{
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QString::fromLatin1(childFlag), QStringLiteral("1"));
  for (const QString &entry : environment) {
    const qsizetype equals = entry.indexOf(QLatin1Char('='));
    env.insert(entry.left(equals), entry.mid(equals + 1));
  }
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=") + QString::fromLatin1(gtestFilter)});
  ASSERT_TRUE(child.waitForFinished(60000));
  const QByteArray output = child.readAll();
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

}  // namespace playertest
