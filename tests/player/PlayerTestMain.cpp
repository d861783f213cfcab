#include <QApplication>

#include <gst/gst.h>
#include <gtest/gtest.h>

// The player needs a QApplication and an initialised GStreamer for the whole run. Test
// discovery runs this program at build time without the test environment, so default to
// the headless platform here too.
int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
