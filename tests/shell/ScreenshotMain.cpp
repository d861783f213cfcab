#include "TForm1.h"
#include "TestDoubles.h"
#include "TProcForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QPixmap>
#include <QStringList>

#include <cstdio>

// Saves a picture of a form to a PNG file, for checking the layout by eye.
//
//   quorvane-screenshot OUT.png [--tab N] [--converting] [--procform]
//                               [--video FILE [--at MS] [--greyscale]]
//                               [--open FILE [--convert]]
//
// --tab N shows settings page N (0..2); --converting shows the window as it looks
// while a conversion runs (controls locked, "Stop Process" and the progress bar
// shown); --procform pictures the progress dialog instead of the main window.
// --video plays FILE in the player and pauses it at MS (default 1000) before the
// picture is taken, with greyscale on when asked. --open goes the user's way instead:
// "Open Video" with FILE as the dialog's answer, the text overlay switched on, pause at
// about 1 s, and the crop frame's top-left handle dragged 40 pixels right and 30 down.
// --convert then sets a 320 x 240 GIF, presses "Convert to GIF" and waits for the result
// page; it prints the page's address and pictures the window after the conversion.
namespace {

// Runs the event loop until the predicate holds or ms have passed.
template <typename Predicate>
bool WaitFor(Predicate predicate, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (timer.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

bool ShowVideo(TForm1 &form, const QString &file, int atMs, bool greyscale)
{
    player::TVFMediaPlayer &player = *form.MediaPlayer1;
    player.FilenameOrURL = file;
    player.Info_Read();
    player.Video_Effects_Enabled = true;
    if (greyscale)
        player.Effects().Video_Effect_Ex(1, 0, 0, true, player::ef_greyscale, 0, QString());
    QString error;
    player.OnError = [&error](const QString &text) { error = text; };
    if (!player.Play() || !WaitFor([&] { return !player.Frame_GetCurrent().isNull(); }, 5000)) {
        std::fprintf(stderr, "could not play %s: %s\n", qPrintable(file), qPrintable(error));
        return false;
    }
    player.Pause();
    player.Position_Set_Time(atMs);
    WaitFor([&] { return player.Position_Get_Time() == atMs; }, 3000);
    WaitFor([] { return false; }, 300);  // let the frame at that position arrive and paint
    return true;
}

void DragHandle(QWidget *handle, QPoint by)
{
    const QPoint grip(4, 4);
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), handle->mapToGlobal(QPointF(at)), Qt::LeftButton,
                          held, Qt::NoModifier);
        QApplication::sendEvent(handle, &event);
    };
    send(QEvent::MouseButtonPress, grip, Qt::LeftButton);
    send(QEvent::MouseMove, grip + by, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, grip + by, Qt::NoButton);
}

bool OpenLikeAUser(TForm1 &form, core::ScriptedPrompts &prompts, const QString &file)
{
    prompts.OpenFileAnswers.push_back(file);
    form.ui.OpenButton->click();
    player::TVFMediaPlayer &player = *form.MediaPlayer1;
    if (!WaitFor([&] { return player.Status() == player::ST_PLAY
                              && !player.Frame_GetCurrent().isNull(); }, 5000)) {
        std::fprintf(stderr, "could not open %s\n", qPrintable(file));
        return false;
    }
    // Effects reach the running video only while it plays: switch the overlay on first.
    form.ui.edTextLogo->setText(QStringLiteral("Quorvane"));
    form.ui.cbTextLogo->click();
    WaitFor([] { return false; }, 1000);
    form.ui.PauseButton->click();
    if (QWidget *handle = form.ui.PanelB->findChild<QWidget *>(QStringLiteral("szLeftTop")))
        DragHandle(handle, QPoint(40, 30));
    WaitFor([] { return false; }, 300);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QStringList args = QApplication::arguments().mid(1);
    if (args.isEmpty() || args.first().startsWith(QLatin1String("--"))) {
        std::fprintf(stderr, "usage: quorvane-screenshot OUT.png [--tab N] [--converting] [--procform]"
                             " [--video FILE [--at MS] [--greyscale]] [--open FILE [--convert]]\n");
        return 2;
    }
    const QString outPath = args.first();
    int tab = 0;
    bool converting = false;
    bool procForm = false;
    QString video;
    QString openFile;
    bool convert = false;
    int atMs = 1000;
    bool greyscale = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--tab") && i + 1 < args.size())
            tab = args[++i].toInt();
        else if (args[i] == QLatin1String("--converting"))
            converting = true;
        else if (args[i] == QLatin1String("--procform"))
            procForm = true;
        else if (args[i] == QLatin1String("--video") && i + 1 < args.size())
            video = args[++i];
        else if (args[i] == QLatin1String("--at") && i + 1 < args.size())
            atMs = args[++i].toInt();
        else if (args[i] == QLatin1String("--greyscale"))
            greyscale = true;
        else if (args[i] == QLatin1String("--open") && i + 1 < args.size())
            openFile = args[++i];
        else if (args[i] == QLatin1String("--convert"))
            convert = true;
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
        if (!video.isEmpty() && !ShowVideo(form, video, atMs, greyscale))
            return 1;
        if (!openFile.isEmpty() && !OpenLikeAUser(form, prompts, openFile))
            return 1;
        if (!openFile.isEmpty() && convert) {
            form.ui.GIFwidth->setValue(320);
            form.ui.GIFHeight->setValue(240);
            form.ui.StartConvertButton->click();
            if (!WaitFor([&] { return !opener.Opened.isEmpty(); }, 30000)) {
                std::fprintf(stderr, "no result page within 30 s\n");
                return 1;
            }
            std::printf("result page: %s\n", qPrintable(opener.Opened.first()));
            WaitFor([] { return false; }, 300);
        }
        picture = form.grab();
    }
    if (!picture.save(outPath, "PNG")) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(outPath));
        return 1;
    }
    return 0;
}
