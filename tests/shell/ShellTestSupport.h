// Helpers shared by the window-level tests: the log's event texts, the frame the player
// shows, opening a sample the user's way, files read and written whole, and a local port
// that refuses connections.
#pragma once

#include <QByteArray>
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
// False when it did not play within 10 s.
bool OpenSample(TForm1 &form, core::ScriptedPrompts &prompts, const char *name);

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
