#include <QGuiApplication>

#include <gtest/gtest.h>

// QFont and the application folder need a QGuiApplication for the whole run. Test
// discovery runs this program at build time without the test environment, so default to
// the headless platform here too.
int main(int argc, char* argv[])
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
