// The video player control: plays one file with GStreamer inside a widget, hands out the
// current frame (effects applied) and its position in milliseconds.
//
// Threads:
// - Every public member and every event (OnError, OnStop) runs on the UI thread.
// - GStreamer's streaming threads enter only OnNewFrame (appsink new-sample / new-preroll)
//   and the bus sync handler. The first copies the frame into the frame slot under
//   frameMutex_ and posts one coalesced repaint; the second hands each message to the UI
//   thread with a queued call tagged with the pipeline's generation, so messages of a
//   pipeline that has since been torn down are ignored.
#pragma once

#include "EffectsStage.h"
#include "MediaInfo.h"
#include "RendererGeometry.h"
#include "VideoEffects.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace player {

enum TVFPlayerStatus : std::uint8_t { ST_PLAY = 0, ST_PAUSE = 1, ST_FREE = 2 };

class TVFMediaPlayer : public QWidget {
  Q_OBJECT

 public:
  explicit TVFMediaPlayer(QWidget *parent = nullptr);
  ~TVFMediaPlayer() override;

  // The media file to play (a local path); empty means no file loaded.
  QString FilenameOrURL;
  // Render the audio streams; false clears playbin's audio flag at the next build.
  bool Audio_Play = true;
  // Colour around the picture, and of the whole control while nothing plays.
  QColor Background_Color = Qt::black;
  // Zoom, stretch, flips and forced aspect of the displayed picture (display only).
  TDisplaySettings Display;

  // Events; an unassigned event is not called. Both run on the UI thread.
  std::function<void(const QString &ErrorText)> OnError;
  // Playback reached the end of the stream (or a bus error ended it); not raised by Stop.
  std::function<void()> OnStop;

  TVFPlayerStatus Status() const { return FStatus; }

  // Missing file: "Can't find input file.", false, status unchanged. Makes the control's
  // width and height even. Paused: resumes and returns false (no new start). Otherwise
  // frees any pipeline, builds a new one for FilenameOrURL, starts it and returns true
  // (also when a step of the build failed and was reported).
  bool Play();
  // Playing only: pauses. Otherwise nothing.
  void Pause();
  // Playing or paused: stops and frees the pipeline, status ST_FREE. Otherwise nothing, so a
  // pipeline kept after the end of the stream stays until Close or the next Play.
  void Stop();
  // Stop when needed, then free the pipeline in every case.
  void Close();

  // Current position in ms; 0 in ST_FREE. A seek still waiting for the pipeline reports
  // its target.
  int Position_Get_Time();
  // Seeks accurately to Position ms. Before the pipeline has finished a state change the
  // seek is kept and sent at async-done; it counts as done (true). False without pipeline.
  bool Position_Set_Time(int Position);

  // The player's own frame: the latest delivered frame, effects applied, at the video's own
  // size, Format_RGB32. The same object on every call; the caller must not keep the
  // reference across the next call if it wants the contents to stay. Empty (null) before
  // the first frame ever; black at each pipeline build until its first frame arrives.
  const QImage &Frame_GetCurrent();

  // Reads media information of FilenameOrURL (cached for the same file).
  bool Info_Read() { return info_.Info_Read(FilenameOrURL); }
  const TMediaInfoReader &Info() const { return info_; }

  // The effect list; it survives pipeline rebuilds.
  VideoEffects &Effects() { return effects_; }

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  struct GstObjectDeleter {
    void operator()(GstElement *element) const { gst_object_unref(element); }
  };
  using ElementPtr = std::unique_ptr<GstElement, GstObjectDeleter>;
  struct BusContext;

  void RaiseError(const QString &text);
  void BuildGraph();
  void FreeGraph();
  ElementPtr MakeVideoSink();
  ElementPtr MakeAudioSink();
  // UI thread: a bus message of pipeline generation `generation`, owned by the caller.
  void HandleBusMessage(std::uint64_t generation, GstMessage *message);
  void EndPlayback();
  bool SendSeek(std::int64_t positionNs);
  // Sends a kept seek once the pipeline is no longer changing state.
  void SendPendingSeek();
  // Seeks now, or keeps the seek (returning true) while the pipeline changes state.
  bool SeekOrKeep(std::int64_t targetNs);

  // Streaming thread.
  static GstBusSyncReply BusSyncHandler(GstBus *bus, GstMessage *message, gpointer data);
  static GstFlowReturn OnNewSample(GstElement *sink, gpointer data);
  static GstFlowReturn OnNewPreroll(GstElement *sink, gpointer data);
  void OnNewFrame(GstSample *sample);

  TVFPlayerStatus FStatus = ST_FREE;
  TMediaInfoReader info_;
  VideoEffects effects_;

  // UI thread state of the pipeline.
  ElementPtr pipeline_;
  std::unique_ptr<EffectsStage> stage_;  // lives as long as pipeline_; used by OnNewFrame
  std::uint64_t generation_ = 0;         // bumped at every teardown
  std::optional<std::int64_t> pendingSeekNs_;   // kept until async-done, not sent yet
  std::optional<std::int64_t> inFlightSeekNs_;  // sent, the pipeline not settled yet

  // Streaming thread only: the frame being prepared (copy + effects) outside the lock.
  QImage work_;
  // frameMutex_ protects slot_ and slotFresh_ (written by the streaming thread, read by
  // Frame_GetCurrent and paintEvent on the UI thread).
  std::mutex frameMutex_;
  QImage slot_;
  bool slotFresh_ = false;  // slot_ holds a frame of the current pipeline
  std::atomic<bool> repaintPosted_{false};

  // The object Frame_GetCurrent lends out (FCurrentFrame). UI thread only.
  QImage FCurrentFrame;
};

}  // namespace player
