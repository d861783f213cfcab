// Decodes a video frame after frame, as fast as the machine allows, for a conversion that
// takes every frame exactly: a pipeline of its own with no clock and no sound, the picture
// turned upright as the player shows it, and the effects and text overlay of the given
// descriptors applied by the stage the player uses.
//
// Threads: every member runs on the thread that made the reader (the UI thread, or the
// command line's). GStreamer decodes on its streaming threads into the appsink's queue of a
// few frames, which holds decoding back while the reader's user is busy; Next takes from it.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "VideoEffects.h"

typedef struct _GstElement GstElement;

namespace player {

class EffectsStage;

class TExactFrameReader {
 public:
  // fileName: a local file. effects: the descriptors in force in the player (may be empty).
  TExactFrameReader(const QString &fileName, const std::vector<CVFEffect> &effects);
  ~TExactFrameReader();
  TExactFrameReader(const TExactFrameReader &) = delete;
  TExactFrameReader &operator=(const TExactFrameReader &) = delete;

  // Builds the pipeline and positions it on the key frame at or before startMs, waiting at
  // most a few seconds for the file to open. False with Error() set when it cannot.
  bool Start(int startMs);

  struct TFrame {
    QImage Picture;            // Format_RGB32, the size the player shows, effects applied
    std::int64_t TimeNs = 0;   // stream time of the frame's start
    std::int64_t EndNs = -1;   // stream time of its end (start + duration), -1 when unknown
  };
  enum class TNext { Frame, End, Error, Waiting };
  // The next frame in presentation order. Waits at most timeoutMs for it: Waiting when
  // none came meanwhile, End after the last frame, Error with Error() set.
  TNext Next(TFrame &frame, int timeoutMs);

  QString Error() const { return FError; }

 private:
  bool CheckBus();  // false on an error message (sets FError); notes the end of stream
  void Stop();

  QString FFileName;
  std::unique_ptr<EffectsStage> FStage;
  GstElement *FPipeline = nullptr;  // owned
  GstElement *FSink = nullptr;      // owned reference
  QString FError;
  bool FEnded = false;
};

}  // namespace player
