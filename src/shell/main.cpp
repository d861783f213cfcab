#include "TForm1.h"

#include <QApplication>

#include <clocale>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setOrganizationName(QStringLiteral("Zentiq"));

    // Numbers are written and parsed with "." whatever the user's locale. This must
    // come after QApplication: Qt sets the C locale from the environment when it starts.
    std::setlocale(LC_NUMERIC, "C");

    TForm1 form;
    form.show();
    return app.exec();
}
