// The result on disk and in the browser: out.gif and out.html in the working folder under
// application data, the page handed to the opener, and each failure's way out.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

#include "Bitmap.h"
#include "ErrorReport.h"
#include "GifStream.h"
#include "ResultPage.h"
#include "TestDoubles.h"

namespace {

using Kind = core::ScriptedPrompts::Kind;

const QByteArray kPage =
    "<html><head><title>Result of Conversion</title></head>\r\n"
    "<body>\r\n"
    "<div align=\"center\">The video was successfully converted to animated GIF!<br>\r\n"
    "You can right click on this image and choose \"Save image...\"  from the popup menu.<br><br>\r\n"
    "<img src=\"out.gif\"><br><br>\r\n"
    "</body></html>\r\n";

std::unique_ptr<gifimage::TGIFImage> OneFrameImage()
{
  gifimage::TBitmap bitmap(8, 6, gifimage::TPixelFormat::pf24bit);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8 * 3; ++x)
      bitmap.ScanLine(y)[x] = static_cast<std::uint8_t>(x * 10 + y);
  auto image = std::make_unique<gifimage::TGIFImage>();
  image->Add(bitmap);
  return image;
}

QByteArray ReadAll(const QString& path)
{
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Report {
  QString message;
  QString mark;
};

class ResultPage : public ::testing::Test {
 protected:
  QTemporaryDir appData;
  QString workDir;
  core::ScriptedPrompts prompts;
  core::RecordingOpener opener;
  std::optional<Report> report;
  QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");

  ResultPage()
  {
    qputenv("XDG_DATA_HOME", appData.path().toLocal8Bit());
    core::SetReportErrorHandler([this](const QString& message, const QString& mark) {
      report = Report{message, mark};
    });
  }
  ~ResultPage() override
  {
    core::SetReportErrorHandler({});
    qputenv("XDG_DATA_HOME", savedDataHome);
  }

  QString Folder() const { return appData.path() + QStringLiteral("/Zentiq/Quorvane"); }
  QStringList FolderEntries() const { return QDir(Folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
};

TEST_F(ResultPage, EmptyResultWarnsAndWritesNothing)
{
  gifimage::TGIFImage empty;
  convert::ShowResult(&empty, workDir, prompts, opener);
  convert::ShowResult(nullptr, workDir, prompts, opener);
  EXPECT_EQ(prompts.Warnings(), (QStringList{QStringLiteral("GIF is empty."), QStringLiteral("GIF is empty.")}));
  EXPECT_FALSE(QDir(appData.path() + QStringLiteral("/Zentiq")).exists());
  EXPECT_TRUE(opener.Opened.isEmpty());
  EXPECT_TRUE(workDir.isEmpty());
  EXPECT_FALSE(report);
}

TEST_F(ResultPage, WritesGifAndPageAndOpensThePageEachTime)
{
  auto image = OneFrameImage();
  gifimage::TMemoryStream expected;
  image->SaveToStream(expected);
  const QByteArray gifBytes(reinterpret_cast<const char*>(expected.Bytes().data()),
                            static_cast<qsizetype>(expected.Bytes().size()));
  const QString pageUrl = QStringLiteral("file://") + Folder() + QStringLiteral("/out.html");

  convert::ShowResult(image.get(), workDir, prompts, opener);
  EXPECT_EQ(workDir, Folder());
  EXPECT_EQ(ReadAll(Folder() + QStringLiteral("/out.gif")), gifBytes);
  EXPECT_EQ(ReadAll(Folder() + QStringLiteral("/out.html")), kPage);
  EXPECT_EQ(convert::ResultPageText(), kPage);
  EXPECT_EQ(opener.Opened, QStringList{pageUrl});
  EXPECT_EQ(image->Images().Count(), 1) << "the image keeps its frames for GIF Viewer";

  // The folder removed while the program runs comes back; old files are replaced whole,
  // with no temporary file left beside them.
  ASSERT_TRUE(QDir(appData.path() + QStringLiteral("/Zentiq")).removeRecursively());
  convert::ShowResult(image.get(), workDir, prompts, opener);
  EXPECT_EQ(ReadAll(Folder() + QStringLiteral("/out.gif")), gifBytes);
  EXPECT_EQ(ReadAll(Folder() + QStringLiteral("/out.html")), kPage);
  EXPECT_EQ(FolderEntries(), (QStringList{QStringLiteral("out.gif"), QStringLiteral("out.html")}));
  EXPECT_EQ(opener.Opened, (QStringList{pageUrl, pageUrl}));
  EXPECT_TRUE(prompts.Calls.empty());
  EXPECT_FALSE(report);
}

// Each failure is provoked with a directory or file where the other kind is needed, which
// stops even a user who may write anywhere.
TEST_F(ResultPage, FolderThatCannotBeMadeIsReported)
{
  QFile blocker(appData.path() + QStringLiteral("/Zentiq"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  auto image = OneFrameImage();
  convert::ShowResult(image.get(), workDir, prompts, opener);
  ASSERT_TRUE(report);
  EXPECT_EQ(report->message, QStringLiteral("Cannot create folder in Application Data"));
  EXPECT_EQ(report->mark, QStringLiteral("CLM_GetSpecialPath"));
  EXPECT_TRUE(opener.Opened.isEmpty());
  EXPECT_TRUE(prompts.Calls.empty());
}

TEST_F(ResultPage, GifThatCannotBeSavedIsReportedAndLeavesNoPartialFile)
{
  ASSERT_TRUE(QDir().mkpath(Folder() + QStringLiteral("/out.gif/inside")));
  auto image = OneFrameImage();
  convert::ShowResult(image.get(), workDir, prompts, opener);
  ASSERT_TRUE(report);
  EXPECT_EQ(report->message, QStringLiteral("Cannot save temporary GIF to") + Folder() + QStringLiteral("/out.gif"));
  EXPECT_EQ(report->mark, QStringLiteral("CLM_GIFSave1"));
  EXPECT_EQ(FolderEntries(), QStringList{QStringLiteral("out.gif")}) << "no temporary file, no page";
  EXPECT_TRUE(opener.Opened.isEmpty());
}

TEST_F(ResultPage, PageThatCannotBeWrittenGoesToTheWarningBoxAndIsNotOpened)
{
  ASSERT_TRUE(QDir().mkpath(Folder() + QStringLiteral("/out.html/inside")));
  auto image = OneFrameImage();
  convert::ShowResult(image.get(), workDir, prompts, opener);
  EXPECT_FALSE(report);
  ASSERT_EQ(prompts.Calls.size(), 1u);
  EXPECT_EQ(prompts.Calls[0].kind, Kind::Warning);
  EXPECT_TRUE(prompts.Calls[0].text.contains(Folder() + QStringLiteral("/out.html"))) << prompts.Calls[0].text.toStdString();
  EXPECT_FALSE(ReadAll(Folder() + QStringLiteral("/out.gif")).isEmpty());
  EXPECT_TRUE(opener.Opened.isEmpty());
}

}  // namespace
