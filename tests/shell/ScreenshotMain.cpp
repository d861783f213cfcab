#include "TForm1.h"
#include "TestDoubles.h"
#include "TProcForm.h"

#include <QApplication>
#include <QPixmap>
#include <QStringList>

#include <cstdio>

// Saves a picture of a form to a PNG file, for checking the layout by eye.
//
//   quorvane-screenshot OUT.png [--tab N] [--converting] [--procform]
//
// --tab N shows settings page N (0..2); --converting shows the window as it looks
// while a conversion runs (controls locked, "Stop Process" and the progress bar
// shown); --procform pictures the progress dialog instead of the main window.
int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty() || args.first().startsWith(QLatin1String("--"))) {
        std::fprintf(stderr, "usage: quorvane-screenshot OUT.png [--tab N] [--converting] [--procform]\n");
        return 2;
    }
    const QString outPath = args.first();
    int tab = 0;
    bool converting = false;
    bool procForm = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--tab") && i + 1 < args.size())
            tab = args[++i].toInt();
        else if (args[i] == QLatin1String("--converting"))
            converting = true;
        else if (args[i] == QLatin1String("--procform"))
            procForm = true;
        else {
            std::fprintf(stderr, "unknown argument: %s\n", qPrintable(args[i]));
            return 2;
        }
    }

    QPixmap picture;
    if (procForm) {
        TProcForm form;
        form.ui.Gauge->setValue(40);
        form.show();
        QApplication::processEvents();
        picture = form.grab();
    } else {
        core::ScriptedPrompts prompts;
        core::RecordingOpener opener;
        TForm1 form(prompts, opener);
        form.ui.PageControl1->setCurrentIndex(tab);
        if (converting) {
            form.EnableControls(false);
            form.ui.StopConvertButton->show();
            form.ui.ProgressBar1->setMaximum(100);
            form.ui.ProgressBar1->setValue(40);
            form.ui.ProgressBar1->show();
            form.SetStatusText(4, QStringLiteral("Status: Converting"));
        }
        form.show();
        QApplication::processEvents();
        picture = form.grab();
    }
    if (!picture.save(outPath, "PNG")) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(outPath));
        return 1;
    }
    return 0;
}
