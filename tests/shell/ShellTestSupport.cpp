#include "ShellTestSupport.h"

#include <QFile>
#include <QImage>
#include <QTimer>

#include <algorithm>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "PlayerTestSupport.h"
#include "TForm1.h"

namespace shelltest {

QStringList Events(const core::TActivityLog &log)
{
    QStringList events;
    for (const QString &line : log.Lines()) {
        const qsizetype at = line.indexOf(QStringLiteral(" ---> "));
        events << (at < 0 ? line : line.mid(at));
    }
    return events;
}

int ShownFrame(TForm1 &form)
{
    return playertest::FrameIndex(form.MediaPlayer1->Frame_GetCurrent());
}

bool OpenSample(TForm1 &form, core::ScriptedPrompts &prompts, const char *name)
{
    prompts.OpenFileAnswers.push_back(playertest::Sample(name));
    form.OpenButtonClick();
    return playertest::WaitUntil([&] { return form.MediaPlayer1->Status() == player::ST_PLAY; },
                                 playertest::kHangMs);
}

TCaptureTicks::TCaptureTicks(TForm1 &form) : FForm(form)
{
    QObject::connect(&form.Timer1, &QTimer::timeout, &FContext, [this] { ++FTicks; });
    form.FrameCaptured = [this](const QImage &frame) {
        for (int y = 0; y < frame.height(); ++y) {
            const uchar *row = frame.constScanLine(y);
            if (std::any_of(row, row + qsizetype(frame.width()) * (frame.depth() / 8), [](uchar byte) { return byte != 0; })) {
                ++FPictures;
                return;
            }
        }
    };
}

TCaptureTicks::~TCaptureTicks()
{
    FForm.FrameCaptured = nullptr;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

TClosedPort::TClosedPort()
{
    FSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(FSocket, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(FSocket, reinterpret_cast<sockaddr *>(&address), &length);
    FPort = ntohs(address.sin_port);
}

TClosedPort::~TClosedPort()
{
    close(FSocket);
}

} // namespace shelltest
