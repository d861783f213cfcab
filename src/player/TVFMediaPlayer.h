// The video player control: plays one file with GStreamer inside a widget, hands out the
// current frame (effects applied) and its position in milliseconds.
//
// Threads:
// - Every public member and every event (OnError, OnStop) runs on the UI thread.
// - GStreamer's streaming threads enter only OnNewFrame (appsink new-sample / new-preroll)
//   and the bus sync handler. The first copies the frame into the frame slot under
//   frameMutex_ and posts one coalesced repaint; the second queues each message in the bus
//   mailbox (its own mutex) and posts one queued call that hands them to the UI thread one
//   at a time. The mailbox takes only messages of the current pipeline generation, so
//   nothing of a pipeline that has since been torn down is queued or handled.
// - Freeing a pipeline waits (bounded) until GStreamer has finalised all of its elements,
//   also those a GStreamer thread let go of after the pipeline reached NULL, so the next
//   pipeline never runs beside the remains of the previous one (ElementReleaseWatch).
#pragma once

#include "EffectsStage.h"
#include "ElementReleaseWatch.h"
#include "MediaInfo.h"
#include "RendererGeometry.h"
#include "VideoEffects.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTimer>
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
// Kind of source; only files are played.
enum TVFSourceMode : std::uint8_t { SM_File = 0, SM_Memory = 1, SM_DVD = 2, SM_MMS_WMV = 3 };
// Renderer kind asked for. The control paints every frame itself, so the kinds only differ
// in VR_NONE, which paints nothing but the background.
enum TVFVideoRenderer : std::uint8_t {
  VR_VideoRenderer = 0,
  VR_VMR9 = 1,
  VR_EVR = 2,
  VR_NONE = 3
};
enum TVFMouseButton : std::uint8_t { MB_LEFT = 0, MB_RIGHT = 1, MB_MIDDLE = 2, MB_X1 = 3, MB_X2 = 4 };

// The name that stands for the system's default sound output.
inline constexpr const char *kDefaultAudioDevice = "Default DirectSound Device";

// What the frame hand-over has done since the last pipeline build, for benchmarks and
// diagnostics. Times in nanoseconds of the steady clock.
struct TFrameStats {
  std::int64_t Frames = 0;         // frames delivered (samples and prerolls)
  std::int64_t PlayingFrames = 0;  // of those, samples delivered while playing
  std::int64_t LateFrames = 0;     // playing samples that reached us more than a frame late
  std::int64_t StageNs = 0;        // effects and overlay, summed
  std::int64_t StageMaxNs = 0;
  std::int64_t HandOverNs = 0;     // mapping, row copy and the swap into the slot, summed
  std::int64_t HandOverMaxNs = 0;
};

class TVFMediaPlayer : public QWidget {
  Q_OBJECT

 public:
  explicit TVFMediaPlayer(QWidget *parent = nullptr);
  ~TVFMediaPlayer() override;

  // The media file to play (a local path); empty means no file loaded.
  QString FilenameOrURL;
  TVFSourceMode Source_Mode = SM_File;
  // Used at the next pipeline build.
  TVFVideoRenderer Screen_VideoRenderer = VR_VMR9;
  // Render the audio streams; false clears playbin's audio flag at the next build.
  bool Audio_Play = true;
  // The sound output, by a name of AudioOutputDevices(); empty or kDefaultAudioDevice (or a
  // name no longer present) is the system's default output. Used at the next build.
  QString Audio_Output_Device;
  // Apply the effect list and the text overlay to the frames (from the next build on).
  // Frames are delivered and shown either way.
  bool Video_Effects_Enabled = false;
  // Kept for callers that set it; has no effect.
  bool Debug_Mode = false;
  // At the end of the stream, play again from the start (or from Selection_Start).
  bool Loop = false;
  // Play only Selection_Start .. Selection_Stop (ms), from the next build on.
  bool Selection_Active = false;
  int Selection_Start = 0;
  int Selection_Stop = 0;
  // Colour around the picture, and of the whole control while nothing plays.
  QColor Background_Color = Qt::black;
  // Stretch, flips and forced aspect of the displayed picture (display only); write the
  // zoom through the setters below so a playing control repaints and reports "Can't zoom".
  TDisplaySettings Display;

  // Events; an unassigned event is not called. All run on the UI thread.
  std::function<void(const QString &ErrorText)> OnError;
  // Playback reached the end of the stream (or a bus error ended it); not raised by Stop.
  std::function<void()> OnStop;
  // Mouse over the control, in the control's pixels. Button events carry: the button, X,
  // Y, then Ctrl, Shift, Alt held, and the left, right and middle buttons held after the
  // event (so a release no longer counts its own button).
  std::function<void(TVFMouseButton Button, int X, int Y, bool Ctrl, bool Shift, bool Alt,
                     bool LeftDown, bool RightDown, bool MiddleDown)>
      OnMouseDown;
  std::function<void(TVFMouseButton Button, int X, int Y, bool Ctrl, bool Shift, bool Alt,
                     bool LeftDown, bool RightDown, bool MiddleDown)>
      OnMouseUp;
  std::function<void(int X, int Y)> OnMouseMove;
  // Left double click (it replaces the second press of the left button).
  std::function<void()> OnMouseDoubleClick;

  // Store the zoom value; while playing or paused, also check it against the current frame
  // ("Can't zoom" when the zoomed part falls outside the picture) and repaint.
  void SetScreen_Zoom_Ratio(int value);
  void SetScreen_Zoom_ShiftX(int value);
  void SetScreen_Zoom_ShiftY(int value);

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
  // Paused with a pipeline: runs it again ("Unable to resume playback." on failure).
  void Resume();

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

  // Whole seconds as "hh:mm:ss", hours at least two digits and never cut ("100:00:00");
  // negative values read as 0.
  static QString Helpful_SecondsToTimeFormatted(int seconds);

  // Reads media information of FilenameOrURL (cached for the same file).
  bool Info_Read() { return info_.Info_Read(FilenameOrURL); }
  const TMediaInfoReader &Info() const { return info_; }
  int Info_Video_Width(int StreamNumber) const { return info_.Info_Video_Width(StreamNumber); }
  int Info_Video_Height(int StreamNumber) const { return info_.Info_Video_Height(StreamNumber); }
  int Info_Video_DurationMSec(int StreamNumber) const
  {
    return info_.Info_Video_DurationMSec(StreamNumber);
  }

  // Whether this system has what the display path needs.
  static bool Filter_Supported_VMR9() { return DisplayElementsAvailable(); }

  // The names of the sound outputs found at creation, the default first.
  const QStringList &AudioOutputDevices() const { return audioDevices_; }

  // What the last pipeline build decided from the media information: a video path was
  // built; audio is rendered.
  bool VideoAvailable() const { return FVideoAvailable; }
  bool AudioAvailable() const { return FAudioAvailable; }

  // While the last pipeline played, GStreamer reported a missing decoder or demuxer (for
  // example a file whose sound plays but whose picture cannot be decoded). Cleared at each
  // build. The details are for gst_install_plugins_async.
  bool MissingPluginReported() const { return !missingPluginDetails_.isEmpty(); }
  const QStringList &MissingPluginDetails() const { return missingPluginDetails_; }

  // The effect list; it survives pipeline rebuilds.
  VideoEffects &Effects() { return effects_; }

  // Counters of the frame hand-over since the last pipeline build.
  TFrameStats FrameStats() const;

 protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;

 private:
  struct GstObjectDeleter {
    void operator()(GstElement *element) const { gst_object_unref(element); }
  };
  using ElementPtr = std::unique_ptr<GstElement, GstObjectDeleter>;
  struct GstMessageDeleter {
    void operator()(GstMessage *message) const { gst_message_unref(message); }
  };
  using MessagePtr = std::unique_ptr<GstMessage, GstMessageDeleter>;
  struct BusMailbox;
  struct BusContext;

  void RaiseError(const QString &text);
  // Raises OnMouseDown or OnMouseUp for a Qt mouse event.
  void RaiseMouseButton(QMouseEvent *event, bool down);
  // After a zoom setter: checks the zoom against the current frame while playing or
  // paused, then repaints.
  void ApplyZoom();
  void BuildGraph();
  void FreeGraph();
  ElementPtr MakeVideoSink();
  ElementPtr MakeAudioSink();
  // UI thread: hands the oldest message of the bus mailbox to HandleBusMessage.
  void DrainBus();
  // UI thread: a bus message of the current pipeline. The message is let go before anything
  // is done about it (it holds its source element, and what is done may free the pipeline).
  void HandleBusMessage(MessagePtr message);
  // failed: a bus error ends playback; the pipeline is freed rather than kept paused.
  void EndPlayback(bool failed = false);
  // Flushing accurate seek to positionNs; stopNs (when given) becomes the stop position,
  // else the stop position is left as it is.
  bool SendSeek(std::int64_t positionNs, std::optional<std::int64_t> stopNs = std::nullopt);
  // End of stream with Loop set: play again from the start or from the selection.
  void Restart();
  // Sends a kept seek once the pipeline is no longer changing state.
  void SendPendingSeek();
  // Drops the in-flight seek target once the pipeline has settled.
  void ForgetSettledSeek();
  // Seeks now, or keeps the seek (returning true) while the pipeline changes state.
  bool SeekOrKeep(std::int64_t targetNs);

  // Streaming thread.
  static GstBusSyncReply BusSyncHandler(GstBus *bus, GstMessage *message, gpointer data);
  static GstFlowReturn OnNewSample(GstElement *sink, gpointer data);
  static GstFlowReturn OnNewPreroll(GstElement *sink, gpointer data);
  // lateNs: how long after its due time on the pipeline clock a playing sample arrived;
  // nullopt for prerolls.
  void OnNewFrame(GstSample *sample, std::optional<std::int64_t> lateNs);

  TVFPlayerStatus FStatus = ST_FREE;
  TMediaInfoReader info_;
  VideoEffects effects_;
  QStringList audioDevices_;
  bool FVideoAvailable = false;
  bool FAudioAvailable = false;
  QStringList missingPluginDetails_;

  // UI thread state of the pipeline.
  ElementPtr pipeline_;
  std::unique_ptr<EffectsStage> stage_;  // lives as long as pipeline_; used by OnNewFrame
  std::uint64_t generation_ = 0;         // bumped at every teardown
  std::shared_ptr<BusMailbox> busMailbox_;  // shared with the bus sync handlers
  ElementReleaseWatch released_;            // the elements of every pipeline built
  std::optional<std::int64_t> pendingSeekNs_;   // kept until async-done, not sent yet
  std::optional<std::int64_t> pendingStopNs_;   // the stop position that goes with it
  // While a seek is kept or in flight, looks every 10 ms whether the pipeline has settled:
  // a change that completes without posting async-done (a resume, or a flush while playing)
  // would otherwise keep the seek, or its target as the position, forever.
  QTimer pendingSeekTimer_;
  // A build with a selection starts paused; at its first settled state the selection seek
  // is sent and the pipeline set to playing.
  bool playWhenSettled_ = false;
  std::optional<std::int64_t> inFlightSeekNs_;  // sent, the pipeline not settled yet

  // Streaming thread only: the frame being prepared (copy + effects) outside the lock.
  QImage work_;
  // frameMutex_ protects slot_ and slotFresh_ (written by the streaming thread, read by
  // Frame_GetCurrent and paintEvent on the UI thread).
  mutable std::mutex frameMutex_;
  QImage slot_;
  bool slotFresh_ = false;  // slot_ holds a frame of the current pipeline
  TFrameStats stats_;       // also behind frameMutex_
  std::atomic<bool> repaintPosted_{false};

  // The object Frame_GetCurrent lends out (FCurrentFrame). UI thread only.
  QImage FCurrentFrame;
};

}  // namespace player
