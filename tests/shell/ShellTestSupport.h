// Helpers shared by the window-level tests: the log's event texts, the frame the player
// shows, opening a sample the user's way, files read and written whole, and a local port
// that refuses connections.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include "ActivityLog.h"
#include "TestDoubles.h"

class TForm1;

namespace shelltest {

// The log lines without their time stamps (every event text begins " ---> ").
QStringList Events(const core::TActivityLog &log);

// The frame number the samples draw (30 frames per second) that the player shows.
int ShownFrame(TForm1 &form);

// Opens a sample through the open dialog (answered by prompts) and waits until it plays.
// False only when that wait reached playertest::kHangMs.
bool OpenSample(TForm1 &form, core::ScriptedPrompts &prompts, const char *name);

// Watches the capture ticks (Timer1) of the form's conversions, each after the window's own
// handler: how many ran, and how many of them captured a picture rather than the all-black
// one a new pipeline lends before its first frame (the assembly drops those). How many ticks
// fit into a clip depends on the machine's load; this lets a test relate the GIF's frames
// to the ticks that really ran.
class TCaptureTicks
{
public:
    explicit TCaptureTicks(TForm1 &form);
    ~TCaptureTicks();
    TCaptureTicks(const TCaptureTicks &) = delete;
    TCaptureTicks &operator=(const TCaptureTicks &) = delete;
    int Ticks() const { return FTicks; }
    int Pictures() const { return FPictures; }

private:
    TForm1 &FForm;
    QObject FContext;  // ends the watch with this object
    int FTicks = 0;
    int FPictures = 0;
};

// The whole file, or nothing when it cannot be read.
QByteArray ReadAll(const QString &path);
// Replaces the file with bytes; false when that failed.
bool WriteAll(const QString &path, const QByteArray &bytes);

// A local port that refuses connections: bound, never listening.
class TClosedPort
{
public:
    TClosedPort();
    ~TClosedPort();
    TClosedPort(const TClosedPort &) = delete;
    TClosedPort &operator=(const TClosedPort &) = delete;
    int Port() const { return FPort; }

private:
    int FSocket = -1;
    int FPort = 0;
};

} // namespace shelltest
