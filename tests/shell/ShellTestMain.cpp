#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Widgets need a QApplication for the whole run. Test discovery runs this program at
// build time without the test environment, so default to the headless platform here too.
// The main window creates folders in the user's documents and keeps a settings file: the
// run gets a home of its own so that nothing of the real user's is touched.
int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toLocal8Bit());
    qunsetenv("XDG_DOCUMENTS_DIR");
    qunsetenv("XDG_VIDEOS_DIR");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Zentiq"));
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    return RUN_ALL_TESTS();
}
