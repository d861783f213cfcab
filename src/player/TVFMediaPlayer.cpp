#include "TVFMediaPlayer.h"

#include "Rounding.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QtDebug>

#include <gst/app/gstappsink.h>
#include <gst/pbutils/pbutils.h>
#include <gst/video/video.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <utility>

namespace player {

namespace {

// playbin's GstPlayFlags values for rendering video and audio.
constexpr guint kPlayFlagVideo = 1u << 0;
constexpr guint kPlayFlagAudio = 1u << 1;
// Software volume. The player has no volume control; and with a sink that has no volume
// of its own (the fake sink of a machine without sound), GStreamer 1.22 keeps the volume
// element it inserts alive after the pipeline is freed, one per file played.
constexpr guint kPlayFlagSoftVolume = 1u << 4;

// How long freeing a pipeline waits for GStreamer to finalise its elements. Normally they
// are gone when the pipeline reaches NULL, or a few ms later; the bound is for an element
// that GStreamer never lets go, and keeps the UI thread's wait as short as Pause's.
constexpr std::chrono::milliseconds kReleaseBound{1000};

// Format texts (from the file's extension) of containers whose streams the information
// reader may not list but that carry video, and of audio-only formats.
bool IsVideoFormatText(const QString &format)
{
  return format == QLatin1String("VOB") || format == QLatin1String("MPG") ||
         format == QLatin1String("MPEG") || format == QLatin1String("MPEG 1/2");
}

bool IsAudioFormatText(const QString &format)
{
  static const char *const kFormats[] = {"MP3", "MP2", "WMA", "WAV", "OGG", "AAC", "M4A"};
  for (const char *known : kFormats)
    if (format == QLatin1String(known))
      return true;
  return false;
}

bool IsDefaultAudioDevice(const QString &name)
{
  return name.isEmpty() || name == QLatin1String(kDefaultAudioDevice);
}

// The sound outputs GStreamer's device monitor finds now, by display name. Empty when it
// finds none (a headless machine).
std::vector<std::pair<QString, GstDevice *>> AudioSinkDevices()
{
  std::vector<std::pair<QString, GstDevice *>> devices;
  GstDeviceMonitor *monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, "Audio/Sink", nullptr);
  if (gst_device_monitor_start(monitor)) {
    GList *list = gst_device_monitor_get_devices(monitor);
    for (GList *item = list; item; item = item->next) {
      auto *device = GST_DEVICE(item->data);  // the list's reference moves to the result
      gchar *name = gst_device_get_display_name(device);
      devices.emplace_back(QString::fromUtf8(name ? name : ""), device);
      g_free(name);
    }
    g_list_free(list);
    gst_device_monitor_stop(monitor);
  }
  gst_object_unref(monitor);
  return devices;
}

void ReleaseDevices(std::vector<std::pair<QString, GstDevice *>> &devices)
{
  for (auto &entry : devices)
    gst_object_unref(entry.second);
  devices.clear();
}

QString TakeErrorText(GstMessage *message, bool warning)
{
  GError *error = nullptr;
  gchar *debug = nullptr;
  if (warning)
    gst_message_parse_warning(message, &error, &debug);
  else
    gst_message_parse_error(message, &error, &debug);
  const QString text = error ? QString::fromUtf8(error->message) : QString();
  qWarning().noquote() << (warning ? "GStreamer warning from" : "GStreamer error from")
                       << (GST_MESSAGE_SRC_NAME(message) ? GST_MESSAGE_SRC_NAME(message) : "?")
                       << ":" << text << "|" << (debug ? debug : "");
  if (error)
    g_error_free(error);
  g_free(debug);
  return text;
}

}  // namespace

// Bus messages on their way to the UI thread, shared by the player and the sync handlers of
// its buses (a handler may still be running on a GStreamer thread after the player removed
// it). mutex protects every member.
struct TVFMediaPlayer::BusMailbox {
  std::mutex mutex;
  TVFMediaPlayer *owner = nullptr;         // null once the player is being destroyed
  std::uint64_t acceptedGeneration = 0;    // the pipeline whose messages are queued
  std::deque<GstMessage *> messages;       // owned, oldest first
  bool drainPosted = false;                // a DrainBus call is on its way
};

// What the bus sync handler needs: the mailbox and the generation of the pipeline the bus
// belongs to. Owned by the bus (freed by its destroy notify).
struct TVFMediaPlayer::BusContext {
  std::shared_ptr<BusMailbox> mailbox;
  std::uint64_t generation;
};

TVFMediaPlayer::TVFMediaPlayer(QWidget *parent)
    : QWidget(parent),
      effects_([this] { return FStatus == ST_PLAY; }),
      busMailbox_(std::make_shared<BusMailbox>())
{
  busMailbox_->owner = this;
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
  if (width() < 5 && height() < 5)
    resize(40, 40);
  setMouseTracking(true);  // OnMouseMove also without a button held
  pendingSeekTimer_.setInterval(10);
  connect(&pendingSeekTimer_, &QTimer::timeout, this, [this] {
    if (pipeline_) {
      SendPendingSeek();
      ForgetSettledSeek();
    }
    if (!pipeline_ || (!pendingSeekNs_ && !inFlightSeekNs_))
      pendingSeekTimer_.stop();
  });
  if (!gst_is_initialized())
    gst_init(nullptr, nullptr);
  audioDevices_ << QString::fromLatin1(kDefaultAudioDevice);
  auto devices = AudioSinkDevices();
  for (const auto &entry : devices)
    audioDevices_ << entry.first;
  ReleaseDevices(devices);
}

TVFMediaPlayer::~TVFMediaPlayer()
{
  Close();
  std::lock_guard lock(busMailbox_->mutex);
  busMailbox_->owner = nullptr;
}

void TVFMediaPlayer::RaiseError(const QString &text)
{
  if (OnError)
    OnError(text);
}

bool TVFMediaPlayer::Play()
{
  if (!QFileInfo::exists(FilenameOrURL)) {
    RaiseError(QStringLiteral("Can't find input file."));
    return false;
  }
  const int evenWidth = width() / 2 * 2;
  const int evenHeight = height() / 2 * 2;
  if (evenWidth != width() || evenHeight != height())
    resize(evenWidth, evenHeight);

  if (FStatus == ST_PAUSE && pipeline_) {
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
      RaiseError(QStringLiteral("Unable to play file, stream or DVD."));
      return false;
    }
    FStatus = ST_PLAY;
    return false;
  }
  Stop();
  Close();
  Info_Read();
  FStatus = ST_PLAY;
  BuildGraph();
  return true;
}

void TVFMediaPlayer::Pause()
{
  if (FStatus != ST_PLAY || !pipeline_)
    return;
  // Right after the start the pipeline may still be finishing its way to PLAYING; a pause
  // that crosses that change can leave it stuck with no state change ever completing. Let
  // the start settle first (a short, bounded wait on the UI thread).
  gst_element_get_state(pipeline_.get(), nullptr, nullptr, 500 * GST_MSECOND);
  if (gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
    RaiseError(QStringLiteral("Unable to pause playback."));
    return;
  }
  FStatus = ST_PAUSE;
}

void TVFMediaPlayer::Resume()
{
  if (FStatus != ST_PAUSE || !pipeline_)
    return;
  if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    RaiseError(QStringLiteral("Unable to resume playback."));
    return;
  }
  FStatus = ST_PLAY;
}

void TVFMediaPlayer::Stop()
{
  if (FStatus != ST_PLAY && FStatus != ST_PAUSE)
    return;
  FStatus = ST_FREE;
  FreeGraph();
  update();
}

void TVFMediaPlayer::Close()
{
  if (FStatus != ST_FREE)
    Stop();
  FreeGraph();
}

// UI thread. Builds playbin with our video sink bin and audio sink, attaches a fresh effects
// stage and starts playing. Failing steps are reported and the build goes on.
void TVFMediaPlayer::BuildGraph()
{
  {
    // A grab before the first frame of this pipeline must not return the last file's picture.
    std::lock_guard lock(frameMutex_);
    slotFresh_ = false;
    stats_ = TFrameStats{};
  }
  if (!FCurrentFrame.isNull())
    FCurrentFrame.fill(Qt::black);
  pendingSeekNs_.reset();
  pendingStopNs_.reset();
  inFlightSeekNs_.reset();
  playWhenSettled_ = false;
  missingPluginDetails_.clear();

  // What to render, from the media information. When the reader could not tell (it failed
  // or timed out), both paths are built and GStreamer decides.
  const TVFVideoInfoMP &media = info_.Info();
  const bool known = media.Status == TMediaProbeStatus::Ok;
  FVideoAvailable =
      !known || media.VideoStreamsCount() > 0 || IsVideoFormatText(media.FFileFormat);
  FAudioAvailable = Audio_Play && Source_Mode != SM_DVD &&
                    (!known || media.AudioStreamsCount() > 0 ||
                     IsAudioFormatText(media.FFileFormat));

  pipeline_.reset(gst_element_factory_make("playbin", nullptr));
  if (!pipeline_) {
    RaiseError(QStringLiteral("Unable to create graph."));
    return;
  }
  gst_object_ref_sink(pipeline_.get());
  released_.Watch(pipeline_.get());

  gchar *uri = gst_filename_to_uri(QFile::encodeName(FilenameOrURL).constData(), nullptr);
  g_object_set(pipeline_.get(), "uri", uri, nullptr);
  g_free(uri);

  if (FVideoAvailable && Video_Effects_Enabled) {
    stage_ = std::make_unique<EffectsStage>();
    effects_.AttachFilter(stage_.get());
  }

  // Our sink is set even without a video path, so playbin never picks a window of its own.
  if (ElementPtr videoSink = MakeVideoSink())
    g_object_set(pipeline_.get(), "video-sink", videoSink.get(), nullptr);  // playbin refs it
  else
    RaiseError(QStringLiteral("Unable to add video renderer"));

  if (FAudioAvailable) {
    if (ElementPtr audioSink = MakeAudioSink())
      g_object_set(pipeline_.get(), "audio-sink", audioSink.get(), nullptr);
    else
      RaiseError(QStringLiteral("Unable to add audio renderers."));
  }
  guint flags = 0;
  g_object_get(pipeline_.get(), "flags", &flags, nullptr);
  flags &= ~kPlayFlagSoftVolume;
  if (!FVideoAvailable)
    flags &= ~kPlayFlagVideo;
  if (!FAudioAvailable)
    flags &= ~kPlayFlagAudio;
  g_object_set(pipeline_.get(), "flags", flags, nullptr);

  GstBus *bus = gst_element_get_bus(pipeline_.get());
  gst_bus_set_sync_handler(bus, &TVFMediaPlayer::BusSyncHandler,
                           new BusContext{busMailbox_, generation_},
                           [](gpointer data) { delete static_cast<BusContext *>(data); });
  gst_object_unref(bus);

  // The result is not checked: a failure also arrives as a bus error, which ends playback.
  if (Selection_Active) {
    // Positions can be set only once the pipeline has prerolled: start paused, and at the
    // first settled state seek to the selection and play (see SendPendingSeek).
    pendingSeekNs_ = static_cast<std::int64_t>(Selection_Start) * GST_MSECOND;
    pendingStopNs_ = static_cast<std::int64_t>(Selection_Stop) * GST_MSECOND;
    playWhenSettled_ = true;
    pendingSeekTimer_.start();
    gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED);
  } else {
    gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
  }
}

// UI thread. Stops the streaming threads (set_state NULL returns only after they finished),
// so nothing touches stage_ or this afterwards; bumps the generation so that the mailbox
// drops this pipeline's messages, queued or still to come; then waits until GStreamer has
// finalised every element of it.
void TVFMediaPlayer::FreeGraph()
{
  ++generation_;
  std::deque<GstMessage *> stale;
  {
    std::lock_guard lock(busMailbox_->mutex);
    busMailbox_->acceptedGeneration = generation_;
    stale.swap(busMailbox_->messages);
  }
  for (GstMessage *message : stale)
    gst_message_unref(message);
  pendingSeekNs_.reset();
  pendingStopNs_.reset();
  inFlightSeekNs_.reset();
  playWhenSettled_ = false;
  if (pipeline_) {
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    GstBus *bus = gst_element_get_bus(pipeline_.get());
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    pipeline_.reset();
    released_.WaitUntilReleased(kReleaseBound);
  }
  effects_.DetachFilter();
  stage_.reset();
  update();
}

TVFMediaPlayer::ElementPtr TVFMediaPlayer::MakeVideoSink()
{
  GError *error = nullptr;
  // videoflip turns tagged (phone) videos upright before the effects see them.
  ElementPtr bin(gst_parse_bin_from_description(
      "videoflip video-direction=auto ! videoconvert ! video/x-raw,format=BGRx ! "
      "appsink name=framesink sync=true max-buffers=1 enable-last-sample=false",
      TRUE, &error));
  if (error) {
    qWarning() << "Video sink bin:" << error->message;
    g_error_free(error);
  }
  if (!bin)
    return {};
  gst_object_ref_sink(bin.get());
  GstElement *sink = gst_bin_get_by_name(GST_BIN(bin.get()), "framesink");
  if (!sink)
    return {};
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = [](GstAppSink *appsink, gpointer data) {
    return OnNewSample(GST_ELEMENT(appsink), data);
  };
  callbacks.new_preroll = [](GstAppSink *appsink, gpointer data) {
    return OnNewPreroll(GST_ELEMENT(appsink), data);
  };
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
  gst_object_unref(sink);
  return bin;
}

// The first real audio output that opens, else a fake sink that keeps real-time pace.
TVFMediaPlayer::ElementPtr TVFMediaPlayer::MakeAudioSink()
{
  if (!IsDefaultAudioDevice(Audio_Output_Device)) {
    auto devices = AudioSinkDevices();
    ElementPtr chosen;
    for (const auto &entry : devices) {
      if (entry.first == Audio_Output_Device) {
        if (GstElement *element = gst_device_create_element(entry.second, nullptr)) {
          chosen.reset(element);
          gst_object_ref_sink(element);
        }
        break;
      }
    }
    ReleaseDevices(devices);
    if (chosen)
      return chosen;
    qWarning().noquote() << "Sound output" << Audio_Output_Device
                         << "not found; using the default output";
  }
  for (const char *factory : {"pulsesink", "alsasink"}) {
    ElementPtr sink(gst_element_factory_make(factory, nullptr));
    if (!sink)
      continue;
    gst_object_ref_sink(sink.get());
    const bool opened =
        gst_element_set_state(sink.get(), GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    gst_element_set_state(sink.get(), GST_STATE_NULL);
    if (opened)
      return sink;
  }
  ElementPtr fake(gst_element_factory_make("fakesink", nullptr));
  if (fake) {
    gst_object_ref_sink(fake.get());
    g_object_set(fake.get(), "sync", TRUE, nullptr);
  }
  return fake;
}

// Streaming thread (or the thread posting to the bus). Queues the message for the UI thread
// without taking an extra reference: returning GST_BUS_DROP makes it ours to release.
GstBusSyncReply TVFMediaPlayer::BusSyncHandler(GstBus *, GstMessage *message, gpointer data)
{
  const auto *context = static_cast<const BusContext *>(data);
  bool wanted = false;
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
    case GST_MESSAGE_ERROR:
    case GST_MESSAGE_WARNING:
    case GST_MESSAGE_ASYNC_DONE:
      wanted = true;
      break;
    case GST_MESSAGE_STATE_CHANGED:
      wanted = GST_IS_PIPELINE(GST_MESSAGE_SRC(message));
      break;
    case GST_MESSAGE_ELEMENT:
      wanted = gst_is_missing_plugin_message(message);
      break;
    default:
      break;
  }
  if (!wanted) {
    gst_message_unref(message);
    return GST_BUS_DROP;
  }
  BusMailbox &mailbox = *context->mailbox;
  std::unique_lock lock(mailbox.mutex);
  if (!mailbox.owner || context->generation != mailbox.acceptedGeneration) {
    lock.unlock();
    gst_message_unref(message);  // of a pipeline being torn down, or of a player being destroyed
    return GST_BUS_DROP;
  }
  mailbox.messages.push_back(message);
  if (!mailbox.drainPosted) {
    mailbox.drainPosted = true;
    TVFMediaPlayer *player = mailbox.owner;  // alive: its destructor clears owner under mutex
    QMetaObject::invokeMethod(player, [player] { player->DrainBus(); }, Qt::QueuedConnection);
  }
  return GST_BUS_DROP;
}

// One message per call, the next call posted first: each message is handled in an event
// loop pass of its own, as if it had been posted alone (a dialog opened by OnError still
// sees the messages that follow).
void TVFMediaPlayer::DrainBus()
{
  MessagePtr message;
  {
    std::lock_guard lock(busMailbox_->mutex);
    if (busMailbox_->messages.empty()) {
      busMailbox_->drainPosted = false;
      return;
    }
    message.reset(busMailbox_->messages.front());
    busMailbox_->messages.pop_front();
    if (busMailbox_->messages.empty())
      busMailbox_->drainPosted = false;
    else
      QMetaObject::invokeMethod(this, [this] { DrainBus(); }, Qt::QueuedConnection);
  }
  HandleBusMessage(std::move(message));
}

void TVFMediaPlayer::HandleBusMessage(MessagePtr message)
{
  // The mailbox holds only the current pipeline's messages, and freeing it empties the
  // mailbox; so there is always a pipeline here, checked all the same.
  if (!pipeline_)
    return;
  const GstMessageType type = GST_MESSAGE_TYPE(message.get());
  QString errorText;
  bool settled = false;
  switch (type) {
    case GST_MESSAGE_ERROR:
      errorText = TakeErrorText(message.get(), false);
      break;
    case GST_MESSAGE_WARNING:
      TakeErrorText(message.get(), true);
      break;
    case GST_MESSAGE_ELEMENT: {
      // A decoder or demuxer is missing; playback may go on with the other streams.
      gchar *detail = gst_missing_plugin_message_get_installer_detail(message.get());
      gchar *description = gst_missing_plugin_message_get_description(message.get());
      qWarning().noquote() << "Missing GStreamer plugin:" << (description ? description : "?");
      missingPluginDetails_ << QString::fromUtf8(detail ? detail : "unknown");
      g_free(detail);
      g_free(description);
      break;
    }
    case GST_MESSAGE_STATE_CHANGED: {
      GstState pending = GST_STATE_VOID_PENDING;
      gst_message_parse_state_changed(message.get(), nullptr, nullptr, &pending);
      settled = pending == GST_STATE_VOID_PENDING;
      break;
    }
    default:
      break;
  }
  message.reset();

  switch (type) {
    case GST_MESSAGE_EOS:
      if (Loop && FStatus == ST_PLAY)
        Restart();
      else
        EndPlayback();
      break;
    case GST_MESSAGE_ERROR:
      // Logged always; reported once, for the error that ends playback (the elements
      // downstream of a failure usually add "Internal data stream error" after it).
      if (FStatus != ST_FREE)
        RaiseError(errorText);
      // Nothing would ever move again: end playback so callers waiting on the status or
      // the position go on. The failed pipeline is freed, not paused: a streaming thread
      // may still be blocked downstream of the failure, and pausing (unlike going to NULL,
      // which unblocks the sinks first) can wait on it forever.
      EndPlayback(/*failed=*/true);
      break;
    case GST_MESSAGE_STATE_CHANGED:
      // A paused -> playing change that was still going when the seek came posts no
      // async-done of its own: its final state change is the moment to send.
      if (settled) {
        ForgetSettledSeek();
        SendPendingSeek();
      }
      break;
    case GST_MESSAGE_ASYNC_DONE:
      ForgetSettledSeek();
      SendPendingSeek();
      break;
    default:
      break;
  }
}

// End of the stream (or a fatal error): stop, status ST_FREE, OnStop once. After the end of
// the stream the pipeline is kept (paused, still seekable) until Close or the next Play;
// after an error it is freed.
void TVFMediaPlayer::EndPlayback(bool failed)
{
  if (FStatus == ST_FREE)
    return;
  if (failed)
    FreeGraph();
  else
    gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED);
  FStatus = ST_FREE;
  pendingSeekNs_.reset();
  pendingStopNs_.reset();
  inFlightSeekNs_.reset();
  playWhenSettled_ = false;
  update();
  if (OnStop)
    OnStop();
}

// UI thread. The message that calls this may be older than a state change started since
// (a pause right after the start), so the pipeline is asked again before sending.
void TVFMediaPlayer::SendPendingSeek()
{
  if (!pendingSeekNs_)
    return;
  if (gst_element_get_state(pipeline_.get(), nullptr, nullptr, 0) == GST_STATE_CHANGE_ASYNC)
    return;
  const std::int64_t target = *pendingSeekNs_;
  const std::optional<std::int64_t> stop = pendingStopNs_;
  pendingSeekNs_.reset();
  pendingStopNs_.reset();
  SendSeek(target, stop);
  if (playWhenSettled_) {
    playWhenSettled_ = false;
    gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
  }
}

// Once the pipeline has settled after a seek (no state change going, also none started by
// the seek's flush while playing), its own position is valid again.
void TVFMediaPlayer::ForgetSettledSeek()
{
  if (inFlightSeekNs_ &&
      gst_element_get_state(pipeline_.get(), nullptr, nullptr, 0) != GST_STATE_CHANGE_ASYNC)
    inFlightSeekNs_.reset();
}

bool TVFMediaPlayer::SendSeek(std::int64_t positionNs, std::optional<std::int64_t> stopNs)
{
  const bool sent = gst_element_seek(
      pipeline_.get(), 1.0, GST_FORMAT_TIME,
      static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
      GST_SEEK_TYPE_SET, positionNs, stopNs ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE,
      stopNs ? *stopNs : static_cast<std::int64_t>(GST_CLOCK_TIME_NONE));
  if (sent) {
    inFlightSeekNs_ = positionNs;
    pendingSeekTimer_.start();  // looks until the pipeline has settled
  }
  return sent;
}

void TVFMediaPlayer::Restart()
{
  if (Selection_Active)
    SendSeek(static_cast<std::int64_t>(Selection_Start) * GST_MSECOND,
             static_cast<std::int64_t>(Selection_Stop) * GST_MSECOND);
  else
    SendSeek(0);
}

int TVFMediaPlayer::Position_Get_Time()
{
  if (FStatus == ST_FREE || !pipeline_)
    return 0;
  // While a seek is kept or still flushing, the pipeline cannot answer (or answers from
  // before the seek): the target is the position.
  if (pendingSeekNs_)
    return static_cast<int>(*pendingSeekNs_ / GST_MSECOND);
  if (inFlightSeekNs_)
    return static_cast<int>(*inFlightSeekNs_ / GST_MSECOND);
  gint64 positionNs = 0;
  if (!gst_element_query_position(pipeline_.get(), GST_FORMAT_TIME, &positionNs))
    return 0;
  try {
    return core::RoundHalfEven(static_cast<double>(positionNs) / GST_MSECOND);
  } catch (const core::NumberError &) {
    return 0;
  }
}

bool TVFMediaPlayer::Position_Set_Time(int Position)
{
  if (!pipeline_)
    return false;
  return SeekOrKeep(static_cast<std::int64_t>(Position) * GST_MSECOND);
}

bool TVFMediaPlayer::SeekOrKeep(std::int64_t targetNs)
{
  // A seek sent during a state change is refused and lost: keep it until the pipeline has
  // settled (async-done, its final state change, or the timer's look).
  if (gst_element_get_state(pipeline_.get(), nullptr, nullptr, 0) == GST_STATE_CHANGE_ASYNC) {
    pendingSeekNs_ = targetNs;  // a kept selection stop goes with it
    pendingSeekTimer_.start();
    return true;
  }
  pendingSeekNs_.reset();
  pendingStopNs_.reset();
  return SendSeek(targetNs);
}

TFrameStats TVFMediaPlayer::FrameStats() const
{
  std::lock_guard lock(frameMutex_);
  return stats_;
}

const QImage &TVFMediaPlayer::Frame_GetCurrent()
{
  std::lock_guard lock(frameMutex_);
  if (!slotFresh_ || slot_.isNull())
    return FCurrentFrame;
  if (FCurrentFrame.size() != slot_.size() || FCurrentFrame.format() != slot_.format())
    FCurrentFrame = QImage(slot_.size(), slot_.format());
  // Deep copy into our own object, so the streaming thread never shares memory with it.
  const qsizetype rowBytes = static_cast<qsizetype>(slot_.width()) * 4;
  for (int y = 0; y < slot_.height(); ++y)
    std::memcpy(FCurrentFrame.scanLine(y), slot_.constScanLine(y), static_cast<size_t>(rowBytes));
  return FCurrentFrame;
}

QString TVFMediaPlayer::Helpful_SecondsToTimeFormatted(int seconds)
{
  const int total = std::max(seconds, 0);
  const int h = total / 3600;
  const int m = (total - h * 3600) / 60;
  const int s = total - h * 3600 - m * 60;
  return QStringLiteral("%1:%2:%3")
      .arg(h, 2, 10, QLatin1Char('0'))
      .arg(m, 2, 10, QLatin1Char('0'))
      .arg(s, 2, 10, QLatin1Char('0'));
}

void TVFMediaPlayer::SetScreen_Zoom_Ratio(int value)
{
  Display.Screen_Zoom_Ratio = value;
  ApplyZoom();
}

void TVFMediaPlayer::SetScreen_Zoom_ShiftX(int value)
{
  Display.Screen_Zoom_ShiftX = value;
  ApplyZoom();
}

void TVFMediaPlayer::SetScreen_Zoom_ShiftY(int value)
{
  Display.Screen_Zoom_ShiftY = value;
  ApplyZoom();
}

void TVFMediaPlayer::ApplyZoom()
{
  if (FStatus != ST_FREE && pipeline_ && Display.Screen_Zoom_Ratio >= 1) {
    QSize frameSize;
    {
      std::lock_guard lock(frameMutex_);
      if (slotFresh_)
        frameSize = slot_.size();
    }
    // Painting falls back to the whole picture; the caller learns the zoom did not apply.
    if (!frameSize.isEmpty() &&
        ZoomRectangle(frameSize, Display.Screen_Zoom_Ratio, Display.Screen_Zoom_ShiftX,
                      Display.Screen_Zoom_ShiftY)
            .isEmpty())
      RaiseError(QStringLiteral("Can't zoom"));
  }
  update();
}

void TVFMediaPlayer::RaiseMouseButton(QMouseEvent *event, bool down)
{
  const auto &handler = down ? OnMouseDown : OnMouseUp;
  if (!handler)
    return;
  TVFMouseButton button;
  switch (event->button()) {
    case Qt::LeftButton: button = MB_LEFT; break;
    case Qt::RightButton: button = MB_RIGHT; break;
    case Qt::MiddleButton: button = MB_MIDDLE; break;
    case Qt::XButton1: button = MB_X1; break;
    case Qt::XButton2: button = MB_X2; break;
    default: return;
  }
  const Qt::KeyboardModifiers keys = event->modifiers();
  const Qt::MouseButtons held = event->buttons();
  const QPoint at = event->position().toPoint();
  handler(button, at.x(), at.y(), keys.testFlag(Qt::ControlModifier),
          keys.testFlag(Qt::ShiftModifier), keys.testFlag(Qt::AltModifier),
          held.testFlag(Qt::LeftButton), held.testFlag(Qt::RightButton),
          held.testFlag(Qt::MiddleButton));
}

void TVFMediaPlayer::mousePressEvent(QMouseEvent *event)
{
  RaiseMouseButton(event, true);
}

void TVFMediaPlayer::mouseReleaseEvent(QMouseEvent *event)
{
  RaiseMouseButton(event, false);
}

void TVFMediaPlayer::mouseDoubleClickEvent(QMouseEvent *event)
{
  if (event->button() != Qt::LeftButton) {
    RaiseMouseButton(event, true);  // a quick second press of another button is a press
    return;
  }
  if (OnMouseDoubleClick)
    OnMouseDoubleClick();
}

void TVFMediaPlayer::mouseMoveEvent(QMouseEvent *event)
{
  if (OnMouseMove) {
    const QPoint at = event->position().toPoint();
    OnMouseMove(at.x(), at.y());
  }
}

void TVFMediaPlayer::paintEvent(QPaintEvent *)
{
  QPainter painter(this);
  QImage frame;
  if (FStatus != ST_FREE && Screen_VideoRenderer != VR_NONE) {
    std::lock_guard lock(frameMutex_);
    if (slotFresh_)
      frame = slot_;  // shares the pixels; the streaming thread detaches if it writes them
  }
  PaintFrame(painter, frame, size(), Display, Background_Color);
}

GstFlowReturn TVFMediaPlayer::OnNewSample(GstElement *sink, gpointer data)
{
  GstSample *sample = gst_app_sink_pull_sample(GST_APP_SINK(sink));
  if (!sample)
    return GST_FLOW_EOS;
  // How late the sample came: the clock now against its running time plus the base time.
  std::optional<std::int64_t> lateNs;
  const GstBuffer *buffer = gst_sample_get_buffer(sample);
  const GstSegment *segment = gst_sample_get_segment(sample);
  if (GstClock *clock = gst_element_get_clock(sink)) {
    if (buffer && segment && GST_BUFFER_PTS_IS_VALID(buffer)) {
      const guint64 runningTime =
          gst_segment_to_running_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
      if (GST_CLOCK_TIME_IS_VALID(runningTime)) {
        const GstClockTime due = gst_element_get_base_time(sink) + runningTime;
        lateNs = static_cast<std::int64_t>(gst_clock_get_time(clock)) -
                 static_cast<std::int64_t>(due);
      }
    }
    gst_object_unref(clock);
  }
  static_cast<TVFMediaPlayer *>(data)->OnNewFrame(sample, lateNs);
  gst_sample_unref(sample);
  return GST_FLOW_OK;
}

GstFlowReturn TVFMediaPlayer::OnNewPreroll(GstElement *sink, gpointer data)
{
  GstSample *sample = gst_app_sink_pull_preroll(GST_APP_SINK(sink));
  if (!sample)
    return GST_FLOW_EOS;
  static_cast<TVFMediaPlayer *>(data)->OnNewFrame(sample, std::nullopt);
  gst_sample_unref(sample);
  return GST_FLOW_OK;
}

// Streaming thread: copy the BGRx rows (respecting the stride) into work_, apply the effects
// outside the lock, then swap work_ into the slot under frameMutex_ and post one repaint.
void TVFMediaPlayer::OnNewFrame(GstSample *sample, std::optional<std::int64_t> lateNs)
{
  using Clock = std::chrono::steady_clock;
  const auto since = [](Clock::time_point from) {
    return static_cast<std::int64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - from).count());
  };
  const Clock::time_point copyStart = Clock::now();
  GstVideoInfo info;
  GstBuffer *buffer = gst_sample_get_buffer(sample);
  GstCaps *caps = gst_sample_get_caps(sample);
  if (!buffer || !caps || !gst_video_info_from_caps(&info, caps))
    return;
  GstVideoFrame frame;
  if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
    return;
  const int width = GST_VIDEO_FRAME_WIDTH(&frame);
  const int height = GST_VIDEO_FRAME_HEIGHT(&frame);
  const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
  const auto *pixels = static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
  // work_ may still share its pixels with a paint that took the slot just before the last
  // swap: writing into it would copy the whole old frame first, so take fresh memory instead.
  if (work_.width() != width || work_.height() != height || !work_.isDetached())
    work_ = QImage(width, height, QImage::Format_RGB32);
  if (!work_.isNull()) {
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y)
      std::memcpy(work_.scanLine(y), pixels + static_cast<qsizetype>(y) * stride, rowBytes);
  }
  gst_video_frame_unmap(&frame);
  if (work_.isNull())
    return;

  std::int64_t positionMs = 0;
  const GstClockTime pts = GST_BUFFER_PTS(buffer);
  if (const GstSegment *segment = gst_sample_get_segment(sample); GST_CLOCK_TIME_IS_VALID(pts)) {
    const guint64 streamTime =
        segment ? gst_segment_to_stream_time(segment, GST_FORMAT_TIME, pts) : pts;
    if (GST_CLOCK_TIME_IS_VALID(streamTime))
      positionMs = static_cast<std::int64_t>(streamTime / GST_MSECOND);
  }
  const std::int64_t copyNs = since(copyStart);

  const Clock::time_point stageStart = Clock::now();
  if (stage_)
    stage_->Apply(work_, positionMs);
  const std::int64_t stageNs = since(stageStart);

  // A frame counts as late when it came more than one frame duration after its due time.
  const std::int64_t frameNs =
      GST_VIDEO_INFO_FPS_N(&info) > 0
          ? static_cast<std::int64_t>(gst_util_uint64_scale(GST_SECOND, GST_VIDEO_INFO_FPS_D(&info),
                                                            GST_VIDEO_INFO_FPS_N(&info)))
          : static_cast<std::int64_t>(GST_SECOND / 30);
  const Clock::time_point swapStart = Clock::now();
  {
    std::lock_guard lock(frameMutex_);
    std::swap(work_, slot_);
    slotFresh_ = true;
    const std::int64_t handOverNs = copyNs + since(swapStart);
    ++stats_.Frames;
    if (lateNs) {
      ++stats_.PlayingFrames;
      if (*lateNs > frameNs)
        ++stats_.LateFrames;
    }
    stats_.StageNs += stageNs;
    stats_.StageMaxNs = std::max(stats_.StageMaxNs, stageNs);
    stats_.HandOverNs += handOverNs;
    stats_.HandOverMaxNs = std::max(stats_.HandOverMaxNs, handOverNs);
  }
  if (!repaintPosted_.exchange(true)) {
    QMetaObject::invokeMethod(
        this,
        [this] {
          repaintPosted_ = false;
          update();
        },
        Qt::QueuedConnection);
  }
}

}  // namespace player
