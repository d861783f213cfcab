#include "SpecialPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

// Points HOME and the XDG folders at a fresh temporary folder for one test.
class ScopedEnvironment {
 public:
  void Set(const char* name, const QByteArray& value)
  {
    FSaved.push_back({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
    qputenv(name, value);
  }
  ~ScopedEnvironment()
  {
    for (auto it = FSaved.rbegin(); it != FSaved.rend(); ++it) {
      if (it->second)
        qputenv(it->first, *it->second);
      else
        qunsetenv(it->first);
    }
  }

 private:
  std::vector<std::pair<const char*, std::optional<QByteArray>>> FSaved;
};

class SpecialPathsTest : public testing::Test {
 protected:
  void SetUp() override
  {
    ASSERT_TRUE(FHome.isValid());
    const QByteArray home = FHome.path().toLocal8Bit();
    FEnvironment.Set("HOME", home);
    FEnvironment.Set("XDG_CONFIG_HOME", home + "/.config");
    FEnvironment.Set("XDG_DATA_HOME", home + "/.local/share");
  }

  QTemporaryDir FHome;
  ScopedEnvironment FEnvironment;
};

struct FolderCase {
  int id;
  QStandardPaths::StandardLocation location;
};

TEST_F(SpecialPathsTest, UserFoldersAreQtsWritableLocationsCreatedWhenMissing)
{
  for (const FolderCase& folder : {FolderCase{core::sfDocuments, QStandardPaths::DocumentsLocation},
                                   FolderCase{core::sfVideos, QStandardPaths::MoviesLocation},
                                   FolderCase{core::sfApplicationData, QStandardPaths::GenericDataLocation}}) {
    SCOPED_TRACE(folder.id);
    const QString expected = QStandardPaths::writableLocation(folder.location);
    ASSERT_TRUE(expected.startsWith(FHome.path())) << expected.toStdString();
    ASSERT_FALSE(QFileInfo::exists(expected));

    const QString path = core::GetSpecialPath(folder.id);

    EXPECT_EQ(path, expected);
    EXPECT_FALSE(path.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(QFileInfo(path).isDir());
  }
}

// The user's own folder names from user-dirs.dirs count, as they do for the desktop.
TEST_F(SpecialPathsTest, FollowsTheUsersDocumentsFolderSetting)
{
  ASSERT_TRUE(QDir().mkpath(FHome.path() + "/.config"));
  QFile dirs(FHome.path() + "/.config/user-dirs.dirs");
  ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
  dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/My Papers/\"\n");
  dirs.close();

  EXPECT_EQ(core::GetSpecialPath(core::sfDocuments), FHome.path() + "/My Papers");
}

TEST_F(SpecialPathsTest, ProgramFilesIsTheProgramsFolder)
{
  EXPECT_EQ(core::GetSpecialPath(core::sfProgramFiles), QCoreApplication::applicationDirPath());
}

TEST_F(SpecialPathsTest, UnknownFolderIsEmpty)
{
  for (int id : {0, -1, 4, 27, 99})
    EXPECT_TRUE(core::GetSpecialPath(id).isEmpty()) << id;
}

}  // namespace
