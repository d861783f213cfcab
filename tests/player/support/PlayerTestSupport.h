// Helpers shared by the player tests: sample paths, waiting on the UI event loop, reading
// the frame number the samples draw, and re-running this test program in a child process.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

namespace playertest {

// Path of a sample video made at build time by make-samples.sh.
QString Sample(const char *name);

// Runs the UI event loop until the predicate holds (true) or ms have passed (false).
bool WaitUntil(const std::function<bool()> &predicate, int ms);

// The bound on a wait for an event (a frame, a state, a stop, a finished conversion) that
// only a hang reaches: many times the slowest of them on a loaded machine under the
// sanitizers, and short enough that a test which waits several times still ends inside
// ctest's limit for one test. Waiting for an event returns as soon as it happens, so the
// size of this bound costs nothing while the test passes.
inline constexpr int kHangMs = 30000;

// Runs the UI event loop until every event posted to the UI thread before this call has
// been handled (queued calls and posted events run in the order they were posted). After
// an event that proves a thread has said all it had to say, this makes sure the UI thread
// has heard it. False only on a hang.
bool RunEventsPostedSoFar();

// The frame index the sample videos draw as 16 black/white blocks along the top (block k
// at x = 16k .. 16k + 15, white when bit 15 - k is set); -1 for a picture too small.
int FrameIndex(const QImage &frame);

// The colour bars of the 640x480 samples seen on one row (y = 300): grey when R = G = B at
// every sample, in colour when not; a flat picture (the black one of a new pipeline) is
// neither.
enum class Bars { None, Grey, Colour };
Bars BarsOf(const QImage &frame);

// Whether this process is the child copy started by ExpectChildPasses with this flag.
bool IsChild(const char *childFlag);

// Re-runs this program with the GoogleTest filter, childFlag=1 and the extra environment
// ("NAME=value" entries, for settings GStreamer reads only when it starts), and expects
// exactly one test to run and pass in it.
void ExpectChildPasses(const char *childFlag, const char *gtestFilter,
                       const QStringList &environment);

}  // namespace playertest
