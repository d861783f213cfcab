// The program entry: the application object, the windows in their order, the event loop.
#include <QApplication>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "CommandLine.h"
#include "CommandLineConversion.h"
#include "Prompts.h"
#include "QtPrompts.h"
#include "TAboutForm.h"
#include "TErrorForm.h"
#include "TForm1.h"
#include "TLogForm.h"
#include "TProcForm.h"

namespace {

// A failure that no guard covers ends only the handler that failed: its text is shown in a
// warning box and the program goes on. No exception reaches Qt's event loop.
class TQuorvaneApplication final : public QApplication
{
public:
    using QApplication::QApplication;
    core::IPrompts *Prompts = nullptr;

    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception &e) {
            ShowFailure(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            ShowFailure(QStringLiteral("Unknown error"));
        }
        return false;
    }

private:
    void ShowFailure(const QString &text)
    {
        if (Prompts)
            Prompts->Warning(text);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    // The command line is read before anything else: a conversion needs no display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    convert::TCommandLine command;
    try {
        command = convert::ParseCommandLine(arguments);
    } catch (const convert::TCommandLineError &error) {
        std::fprintf(stderr, "quorvane: %s (see --help)\n", error.what());
        return convert::kExitBadInput;
    }
    switch (command.Mode) {
    case convert::TCommandLineMode::Help:
        std::fputs(convert::CommandLineHelp().toLocal8Bit().constData(), stdout);
        return convert::kExitOk;
    case convert::TCommandLineMode::Version:
        std::printf("%s\n", convert::VersionText(QStringLiteral(QUORVANE_VERSION)).toLocal8Bit().constData());
        return convert::kExitOk;
    case convert::TCommandLineMode::Convert: {
        // Fonts for the text overlay, but no windows: without a display, Qt's offscreen
        // platform serves.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
            && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        return shell::RunCommandLineConversion(command, stderr);
    }
    case convert::TCommandLineMode::Window:
    case convert::TCommandLineMode::WindowWithFile:
        break;
    }

    TQuorvaneApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvane"));
    QApplication::setOrganizationName(QStringLiteral("Zentiq"));

    // Numbers are written and parsed with "." whatever the user's locale. This must
    // come after QApplication: Qt sets the C locale from the environment when it starts.
    std::setlocale(LC_NUMERIC, "C");

    // The error dialog is needed before anything can fail, so it exists before the main
    // window, although it counts as the fourth window.
    TErrorForm ErrorForm;
    shell::TQtPrompts prompts(ErrorForm);
    shell::TQtUrlOpener opener;
    app.Prompts = &prompts;

    TForm1 Form1(prompts, opener);
    // A report while the main window was being built has run the close path: end here.
    if (Form1.State.ClosingDone)
        return 0;
    prompts.SetParent(&Form1);
    TProcForm ProcForm;
    Form1.ProcForm = &ProcForm;
    TAboutForm AboutForm(opener);
    TLogForm LogForm(Form1.ActivityLog);
    Form1.SetForms(&LogForm, &AboutForm);

    Form1.show();
    if (command.Mode == convert::TCommandLineMode::WindowWithFile)
        Form1.OpenVideoFile(command.Input);
    return app.exec();
}
