// Fuzz target: the input is a media file, opened the way the program opens a video. Its
// media information is read (Info_Read, GStreamer's discoverer), then the player plays it
// for a moment in a shown widget, seeks to the middle once a frame has come, and is stopped,
// closed and destroyed. Any file may be refused (an error text, no frame); none may crash,
// hang or leak, and what the player reports must keep its contracts.
//
// The whole input is the file; there is no layout. It is written to one path per process
// under TMPDIR, rewritten for each input. A fresh player per input, so the reader's cache
// (same name, same size) never answers with the previous input's information.
//
// Time per input is bounded by the discoverer's own timeout (5 s), kPlayMs, kSeekMs and
// kReleaseMs; scripts/fuzz.sh gives libFuzzer a -timeout well above their sum, so only a
// pipeline that does not stop or tear down counts as a hang.
//
// GStreamer and Qt are not instrumented: coverage guides only through our player's code,
// while a crash or leak inside a demuxer or decoder still stops the run with its stack.
//
// Leaks: LeakSanitizer runs after inputs (libFuzzer's -detect_leaks) and at exit. Unwinding
// through GLib's frames on every allocation would slow playing ten times, so stacks of
// GLib's allocations end at g_malloc and no suppression could tell GStreamer's own leaks
// from ours. Instead this process keeps the two that GStreamer 1.22 has away from
// LeakSanitizer (GLib's dropped quark arrays; the I/O state gst-libav's demuxers lose per
// file). LeakSanitizer does not report a GstObject left with a reference too many here, so
// GStreamer's leaks tracer records the objects each input creates and destroys: once the
// player is gone, no element, pad, bus, message, buffer, event, query or sample of the input
// may be left. Before it is asked, every element the input created (the player's pipeline
// and the discoverer's) must have been finalised: a GStreamer thread may drop the last
// reference to a pipeline a moment after it was freed (the player waits for its own, within
// a bound), and what that pipeline holds goes with it; an element still alive after
// kReleaseMs is a leak of its own. The other objects then get as long to go (a task that
// GStreamer's thread pool ran is dropped there a moment after its element). The check is skipped after an input that ended in a
// stream error: GStreamer 1.22's decodebin and playsink leave pads behind after some demuxer
// errors (a few times in half an hour of fuzzing), and our own error path is checked object
// by object by the player's leak test (its BusError cycles). GLib hands out every small
// block from malloc in this build (cmake/SanitizerDefaults.cpp.in), so ASan sees each one.

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QString>
#include <QStringList>

#include <gst/gst.h>
#include <link.h>
#include <sanitizer/allocator_interface.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "ElementLifetimes.h"
#include "FuzzInput.h"
#include "LeaksTracer.h"
#include "TVFMediaPlayer.h"

namespace {

using fuzzsupport::Check;
using player::ST_FREE;
using player::ST_PLAY;
using player::TVFMediaPlayer;

// How long the player may play before it is stopped, and how long after the seek (ms).
constexpr int kPlayMs = 2000;
constexpr int kSeekMs = 500;
// How long the input's elements may outlive the player before they count as leaked (ms):
// only an element that is never released takes this long.
constexpr int kReleaseMs = 10000;

QString VideoPath()
{
  static const QString path =
      QDir::tempPath() + QStringLiteral("/quorvane-video-open-fuzz-%1.mp4")
                             .arg(QCoreApplication::applicationPid());
  return path;
}

void RemoveVideoFile()
{
  QFile::remove(VideoPath());
}

// Runs the UI event loop until the predicate holds or ms have passed.
void WaitUntil(const std::function<bool()> &predicate, int ms)
{
  QElapsedTimer timer;
  timer.start();
  while (!predicate() && timer.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// GLib 2.74 keeps its quark names in one array that it replaces by a larger copy every
// 2048 quarks, dropping the old array on purpose (readers go without a lock). The first one
// is allocated by GLib's load-time constructor, so no stack of ours tells it apart. This
// finds the variable that holds the current array in GLib's data and keeps every array it
// has held reachable from here. Finding nothing is harmless: the run then reports the
// dropped array as a leak, which shows that this needs a look.
class TQuarkArrayKeeper {
 public:
  void Find()
  {
    dl_iterate_phdr(&TQuarkArrayKeeper::SearchModule, this);
    Keep();
  }

  // After each input: the array may have been replaced meanwhile.
  void Keep()
  {
    if (!FVariable)
      return;
    const void *current = __atomic_load_n(FVariable, __ATOMIC_ACQUIRE);
    if (FCount > 0 && FKept[FCount - 1] == current)
      return;
    Check(FCount < kMaxKept, "GLib's quark array was replaced more often than expected");
    FKept[FCount++] = current;
  }

 private:
  // Whether value is the start of a heap block laid out like the quark array.
  static bool IsQuarkArray(const void *value)
  {
    if (!value || !__sanitizer_get_ownership(value))
      return false;
    const std::size_t bytes = __sanitizer_get_allocated_size(value);
    constexpr std::size_t kBlockBytes = 2048 * sizeof(void *);
    if (bytes < kBlockBytes || bytes % kBlockBytes != 0)
      return false;
    const auto *names = static_cast<const char *const *>(value);
    return names[1] == g_quark_to_string(1) && names[2] == g_quark_to_string(2);
  }

  static int SearchModule(dl_phdr_info *module, std::size_t, void *data)
  {
    auto *keeper = static_cast<TQuarkArrayKeeper *>(data);
    if (keeper->FVariable || !module->dlpi_name || !std::strstr(module->dlpi_name, "libglib-2.0.so"))
      return 0;
    for (int i = 0; i < module->dlpi_phnum && !keeper->FVariable; ++i) {
      const ElfW(Phdr) &segment = module->dlpi_phdr[i];
      if (segment.p_type != PT_LOAD || !(segment.p_flags & PF_W))
        continue;
      const auto begin = module->dlpi_addr + segment.p_vaddr;
      const auto end = begin + segment.p_memsz;
      for (auto at = (begin + sizeof(void *) - 1) / sizeof(void *) * sizeof(void *);
           at + sizeof(void *) <= end; at += sizeof(void *)) {
        auto *variable = reinterpret_cast<const void **>(at);
        if (IsQuarkArray(*variable)) {
          keeper->FVariable = variable;
          break;
        }
      }
    }
    return 0;
  }

  // A plain array, not a container: it must still hold the arrays when LeakSanitizer looks
  // at exit, after static destructors ran. 64 arrays are 2 million quarks.
  static constexpr int kMaxKept = 64;
  const void **FVariable = nullptr;
  const void *FKept[kMaxKept] = {};
  int FCount = 0;
};

TQuarkArrayKeeper QuarkArrays;

// Whether a live object of this type can only be a pipeline's: elements, pads, buses,
// messages, buffers, events, queries and samples belong to one pipeline each, while caps,
// pad templates, plugins and the like are shared caches that fill once.
//
// Left out: decodebin's ghost pads (GstDecodePad and the GstProxyPad inside each), which
// GStreamer 1.22's decodebin keeps alive after some demuxer failures, even ones it only
// warns about. A pipeline of ours left alive still shows with its elements and other pads.
bool IsPipelineObject(GType type)
{
  const GType decodePad = g_type_from_name("GstDecodePad");  // 0 until decodebin is loaded
  if ((decodePad && type == decodePad) || type == GST_TYPE_PROXY_PAD)
    return false;
  for (GType kind : {GST_TYPE_ELEMENT, GST_TYPE_PAD, GST_TYPE_BUS, GST_TYPE_MESSAGE,
                     GST_TYPE_BUFFER, GST_TYPE_BUFFER_LIST, GST_TYPE_EVENT, GST_TYPE_QUERY,
                     GST_TYPE_SAMPLE})
    if (g_type_is_a(type, kind))
      return true;
  return false;
}

// GStreamer's leaks tracer, started through GST_TRACERS before gst_init; first called after it.
// Never destroyed: at exit GStreamer's own threads may still be winding down, and dropping
// the tracer then is not safe.
playertest::LeaksTracer &LiveGstObjects()
{
  static auto *tracer = new playertest::LeaksTracer;
  return *tracer;
}


// Takes a feature out of this process's registry view (not the registry cache on disk). Its
// plugin is loaded first: loading a plugin registers all its features again, which would
// bring the feature back the first time anything else of that plugin is used.
void HideFeature(GstPluginFeature *feature)
{
  if (GstPluginFeature *loaded = gst_plugin_feature_load(feature)) {
    gst_registry_remove_feature(gst_registry_get(), loaded);
    gst_object_unref(loaded);
  }
}

// The process has no sound device and must not look for one: without pulsesink and
// alsasink the player falls back to its fake sink that keeps real-time pace, and without
// device providers its device monitor finds no outputs.
void HideSoundOutputs()
{
  for (const char *name : {"pulsesink", "alsasink"}) {
    if (GstPluginFeature *feature = gst_registry_lookup_feature(gst_registry_get(), name)) {
      HideFeature(feature);
      gst_object_unref(feature);
    }
  }
  GList *providers = gst_device_provider_factory_list_get_device_providers(GST_RANK_NONE);
  for (GList *item = providers; item; item = item->next)
    HideFeature(GST_PLUGIN_FEATURE(item->data));
  gst_plugin_feature_list_free(providers);
}

// gst-libav 1.22's demuxers (avdemux_*: GIF, APE, ...) lose a 24-byte I/O state each time a
// file is opened through them. Without them such files are refused like any unknown
// format; GStreamer's own demuxers and every decoder stay.
void HideLibavDemuxers()
{
  GList *factories = gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_DEMUXER,
                                                           GST_RANK_NONE);
  for (GList *item = factories; item; item = item->next) {
    auto *feature = GST_PLUGIN_FEATURE(item->data);
    if (g_str_has_prefix(gst_plugin_feature_get_name(feature), "avdemux_"))
      HideFeature(feature);
  }
  gst_plugin_feature_list_free(factories);
}

// gst-plugins-ugly 1.22's SID tune decoder (siddec) starts its streaming task with a
// reference to its own source pad and never stops the task when it is shut down, so every
// siddec made for a SID file (one in the discoverer, one in playbin) stays alive for good:
// the player warns that siddec was not released, and the check finds both still alive
// after any wait. Without it a SID file is refused like any unknown format.
void HideSidDecoder()
{
  if (GstPluginFeature *feature = gst_registry_lookup_feature(gst_registry_get(), "siddec")) {
    HideFeature(feature);
    gst_object_unref(feature);
  }
}

void CheckMediaInfo(const TVFMediaPlayer &player)
{
  const player::TVFVideoInfoMP &info = player.Info().Info();
  Check(info.Status != player::TMediaProbeStatus::NotRead, "the information was not read");
  for (const player::TVFVideoStreamInfo &video : info.FVideoStreams) {
    Check(video.Width >= 0 && video.Height >= 0, "a negative picture size");
    Check(video.Rotation == 0 || video.Rotation == 90 || video.Rotation == 180 ||
              video.Rotation == 270,
          "a rotation other than a quarter turn");
    Check(video.DurationMSec >= 0, "a negative length");
  }
}

void CheckFrame(TVFMediaPlayer &player)
{
  const QImage &frame = player.Frame_GetCurrent();
  Check(frame.isNull() || (frame.format() == QImage::Format_RGB32 && frame.width() > 0 &&
                           frame.height() > 0),
        "the current frame is not a 32-bit picture");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
  // Before GStreamer and Qt add quarks: the first array must still be the current one.
  QuarkArrays.Find();
  // One QApplication for the whole run, on the headless platform. It gets an argument list
  // of its own: Qt would take options it knows out of libFuzzer's.
  static int argc = 1;
  static char name[] = "video_open_fuzz";
  static char *argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // A run may name the tracer itself, with options (stack traces of each object's creation).
  if (qEnvironmentVariableIsEmpty("GST_TRACERS"))
    qputenv("GST_TRACERS", "leaks");
  gst_init(nullptr, nullptr);
  Check(static_cast<bool>(LiveGstObjects()), "GStreamer's leaks tracer did not start");
  playertest::ElementLifetimes::Instance();  // its hook goes in before any pipeline runs
  HideSoundOutputs();
  HideLibavDemuxers();
  HideSidDecoder();
  new QApplication(argc, argv);  // lives until the process exits
  VideoPath();  // built before the exit handler is registered, so destroyed after it ran
  std::atexit(RemoveVideoFile);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  bool streamError = false;
  LiveGstObjects().StartTracking();
  playertest::ElementLifetimes::Instance().StartWatching();
  {
    QFile file(VideoPath());
    Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the input file");
    Check(file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) ==
              static_cast<qint64>(size),
          "cannot write the input file");
  }
  {
    TVFMediaPlayer player;
    player.resize(64, 48);
    player.show();
    player.FilenameOrURL = VideoPath();
    bool ended = false;
    player.OnStop = [&ended] { ended = true; };
    player.OnError = [&ended, &streamError](const QString &) { ended = streamError = true; };

    player.Info_Read();
    CheckMediaInfo(player);

    player.Play();  // reads the information again from the reader's cache
    WaitUntil([&] { return ended || player.FrameStats().Frames > 0; }, kPlayMs);
    CheckFrame(player);
    const int lengthMs = player.Info_Video_DurationMSec(0);
    if (!ended && player.Status() == ST_PLAY && lengthMs > 0) {
      player.Position_Set_Time(lengthMs / 2);
      WaitUntil([&] { return ended; }, kSeekMs);
      CheckFrame(player);
    }
    player.Stop();
    player.Close();
    Check(player.Status() == ST_FREE, "the player is not free after Close");
    Check(player.Position_Get_Time() == 0, "a position without a pipeline");
  }
  // Queued bus messages and repaints of the destroyed player are dropped with it; let the
  // deferred deletions of Qt's own objects run before the next input.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  QuarkArrays.Keep();
  if (streamError)
    return 0;
  const QStringList elementsLeft =
      playertest::ElementLifetimes::Instance().WaitUntilNoneAlive(kReleaseMs);
  if (!elementsLeft.isEmpty()) {
    std::fprintf(stderr, "GStreamer elements still alive %d ms after the player was destroyed: %s\n",
                 kReleaseMs, qPrintable(elementsLeft.join(QStringLiteral(", "))));
    fuzzsupport::Fail("GStreamer elements leaked");
  }
  QStringList left;
  for (GType type : LiveGstObjects().WaitUntilGone(&IsPipelineObject, kReleaseMs))
    left << QString::fromUtf8(g_type_name(type));
  if (!left.isEmpty()) {
    std::fprintf(stderr, "GStreamer objects left after the player was destroyed: %s\n",
                 qPrintable(left.join(QStringLiteral(", "))));
    fuzzsupport::Fail("GStreamer objects leaked");
  }
  return 0;
}
