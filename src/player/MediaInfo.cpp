#include "MediaInfo.h"

#include "Rounding.h"

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include <QFileInfo>

#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <numeric>

namespace player {

namespace {

constexpr GstClockTime kDiscoverTimeout = 5 * GST_SECOND;

// Owners for the GLib / GStreamer objects of one read.
struct GObjectUnref {
  void operator()(gpointer p) const { g_object_unref(p); }
};
struct DiscovererInfoUnref {
  void operator()(GstDiscovererInfo *p) const { gst_discoverer_info_unref(p); }
};
struct StreamListFree {
  void operator()(GList *p) const { gst_discoverer_stream_info_list_free(p); }
};
struct CapsUnref {
  void operator()(GstCaps *p) const { gst_caps_unref(p); }
};
struct GFree {
  void operator()(gpointer p) const { g_free(p); }
};
struct ErrorFree {
  void operator()(GError *p) const { g_error_free(p); }
};

using DiscovererPtr = std::unique_ptr<GstDiscoverer, GObjectUnref>;
using InfoPtr = std::unique_ptr<GstDiscovererInfo, DiscovererInfoUnref>;
using StreamListPtr = std::unique_ptr<GList, StreamListFree>;
using CapsPtr = std::unique_ptr<GstCaps, CapsUnref>;
using CharPtr = std::unique_ptr<gchar, GFree>;
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

bool EnsureGstreamer()
{
  GError *raw = nullptr;
  if (gst_is_initialized())
    return true;
  const bool ok = gst_init_check(nullptr, nullptr, &raw);
  ErrorPtr error(raw);
  return ok;
}

int64_t FileSizeOf(const QString &name)
{
  const QFileInfo file(name);
  return file.exists() && file.isFile() ? file.size() : -1;
}

QString CodecDescription(GstDiscovererStreamInfo *stream)
{
  CapsPtr caps(gst_discoverer_stream_info_get_caps(stream));
  if (!caps)
    return {};
  CharPtr text(gst_pb_utils_get_codec_description(caps.get()));
  return text ? QString::fromUtf8(text.get()) : QString();
}

QString CapsName(GstDiscovererStreamInfo *stream)
{
  CapsPtr caps(gst_discoverer_stream_info_get_caps(stream));
  if (!caps || gst_caps_get_size(caps.get()) == 0)
    return {};
  return QString::fromUtf8(gst_structure_get_name(gst_caps_get_structure(caps.get(), 0)));
}

// Clockwise rotation from the stream's image-orientation tag ("rotate-90",
// "flip-rotate-270", ...); 0 without a tag.
int RotationOf(GstDiscovererStreamInfo *stream)
{
  const GstTagList *tags = gst_discoverer_stream_info_get_tags(stream);
  gchar *raw = nullptr;
  if (!tags || !gst_tag_list_get_string(tags, GST_TAG_IMAGE_ORIENTATION, &raw))
    return 0;
  const CharPtr orientation(raw);
  const QString text = QString::fromUtf8(orientation.get());
  for (const int degrees : {90, 180, 270}) {
    if (text == QStringLiteral("rotate-%1").arg(degrees) ||
        text == QStringLiteral("flip-rotate-%1").arg(degrees))
      return degrees;
  }
  return 0;
}

int RoundOrZero(double value)
{
  try {
    return core::RoundHalfEven(value);
  } catch (const core::NumberError &) {
    return 0;
  }
}

QString SubtitleCodec(const QString &capsName)
{
  if (capsName == QLatin1String("text/x-raw") || capsName == QLatin1String("application/x-subtitle"))
    return QStringLiteral("UTF8");
  if (capsName == QLatin1String("application/x-ssa"))
    return QStringLiteral("SSA");
  if (capsName == QLatin1String("application/x-ass"))
    return QStringLiteral("ASS");
  if (capsName == QLatin1String("application/x-usf"))
    return QStringLiteral("USF");
  if (capsName == QLatin1String("subpicture/x-dvd"))
    return QStringLiteral("VOBSUB");
  return capsName;
}

}  // namespace

QString FileFormatFromExtension(const QString &fileName)
{
  static const struct {
    const char *extension;
    const char *format;
  } kFormats[] = {
      {"AVI", "AVI"},
      {"MPG", "MPEG 1/2"},
      {"MPEG", "MPEG 1/2"},
      {"VOB", "VOB"},
      {"MP4", "MPEG 4"},
      {"M4V", "MPEG-4 Video"},
      {"WMV", "Windows Media Video"},
      {"ASF", "Windows Media Video (ASF)"},
      {"MOV", "QuickTime MOV"},
      {"3GP", "QuickTime 3GP"},
      {"3G2", "QuickTime 3GP2"},
      {"OGM", "OGG Media"},
      {"MKV", "Matroska"},
      {"RM", "RealMedia"},
      {"MP2", "MPEG-1 layer 2"},
      {"MP3", "MP3"},
      {"OGG", "OGG Vorbis"},
      {"WAV", "WAV"},
      {"WMA", "Windows Media Audio"},
      {"AAC", "AAC"},
      {"M4A", "MPEG-4 Audio"},
  };
  const int dot = fileName.lastIndexOf(QLatin1Char('.'));
  const int slash = fileName.lastIndexOf(QLatin1Char('/'));
  if (dot < 0 || dot < slash)
    return {};
  const QString extension = fileName.mid(dot + 1).toUpper();
  for (const auto &entry : kFormats) {
    if (extension == QLatin1String(entry.extension))
      return QString::fromLatin1(entry.format);
  }
  return {};
}

AspectReduction ReduceAspect(int width, int height)
{
  AspectReduction result;
  if (width <= 0 || height <= 0)
    return result;
  const double ratio = static_cast<double>(width) / height;
  for (int i = 1; i <= 100; ++i) {
    for (int j = 1; j <= 100; ++j) {
      const double percent = (static_cast<double>(i) / j) / ratio * 100.0;
      if (percent >= 99.98 && percent <= 100.02) {
        result.w = i;
        result.h = j;
        result.text = QStringLiteral("%1:%2").arg(i).arg(j);
        return result;
      }
    }
  }
  return result;
}

QString DurationText(int64_t wholeSeconds)
{
  const int64_t s = wholeSeconds < 0 ? 0 : wholeSeconds;
  const auto two = [](int64_t v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
  const int64_t hours = s / 3600;
  if (hours < 1)
    return two(s / 60) + QLatin1Char(':') + two(s % 60);
  return two(hours) + QLatin1Char(':') + two((s / 60) % 60) + QLatin1Char(':') + two(s % 60);
}

int64_t SecondsToMSec(double seconds)
{
  const double ms = std::nearbyint(seconds * 1000.0);
  if (!std::isfinite(ms) || std::fabs(ms) > 9.0e18)
    return 0;
  return static_cast<int64_t>(ms);
}

void ApplyDurationFallbacks(std::vector<TVFVideoStreamInfo> &videos,
                            const std::vector<TVFAudioStreamInfo> &audios, int64_t fileSize)
{
  bool anyWithoutLength = false;
  for (const auto &video : videos)
    anyWithoutLength = anyWithoutLength || video.DurationMSec == 0;
  if (anyWithoutLength && !audios.empty()) {
    const TVFAudioStreamInfo *longest = &audios.front();
    for (const auto &audio : audios) {
      if (audio.DurationMSec > longest->DurationMSec)
        longest = &audio;
    }
    for (auto &video : videos) {
      if (video.DurationMSec != 0)
        continue;
      video.DurationMSec = longest->DurationMSec;
      video.Duration = longest->Duration;
      video.FramesCount = RoundOrZero(video.FrameRate * static_cast<double>(video.DurationMSec) / 1000.0);
    }
  }
  // A stream without a length has no rate to derive: leave its bit rate at 0.
  if (!videos.empty() && videos.front().Bitrate <= 0 && videos.front().DurationMSec > 0 && fileSize > 0)
    videos.front().Bitrate = static_cast<double>(fileSize) / (static_cast<double>(videos.front().DurationMSec) / 1000.0);
}

void TVFVideoInfoMP::Clear()
{
  FVideoMajorType.clear();
  FVideoStreams.clear();
  FAudioStreams.clear();
  FSubtitles.clear();
  Status = TMediaProbeStatus::NotRead;
  ErrorText.clear();
  MissingPluginDetails.clear();
  MissingPluginNames.clear();
}

void TVFVideoInfoMP::ReadInfo()
{
  Clear();
  try {
    Probe();
  } catch (const std::exception &e) {
    // Keep what was found so far; the getters give 0 for what is missing.
    Status = TMediaProbeStatus::Error;
    ErrorText = QString::fromUtf8(e.what());
  } catch (...) {
    Status = TMediaProbeStatus::Error;
  }
}

void TVFVideoInfoMP::Fail(const QString &text)
{
  FVideoMajorType = QStringLiteral("ERROR");
  Status = TMediaProbeStatus::Error;
  ErrorText = text;
}

void TVFVideoInfoMP::Probe()
{
  const QFileInfo file(FFilename);
  if (FFilename.isEmpty() || !file.exists() || !file.isFile()) {
    FVideoMajorType = QStringLiteral("FILE NOT FOUND");
    Status = TMediaProbeStatus::FileNotFound;
    return;
  }
  const QString format = FileFormatFromExtension(FFilename);
  if (!format.isEmpty())
    FFileFormat = format;

  if (!EnsureGstreamer()) {
    Fail(QStringLiteral("GStreamer could not be initialised"));
    return;
  }

  GError *raw = nullptr;
  const CharPtr uri(gst_filename_to_uri(QFile::encodeName(file.absoluteFilePath()).constData(), &raw));
  ErrorPtr uriError(raw);
  if (!uri) {
    Fail(uriError ? QString::fromUtf8(uriError->message) : QString());
    return;
  }

  raw = nullptr;
  const DiscovererPtr discoverer(gst_discoverer_new(kDiscoverTimeout, &raw));
  ErrorPtr createError(raw);
  if (!discoverer) {
    Fail(createError ? QString::fromUtf8(createError->message) : QString());
    return;
  }

  raw = nullptr;
  const InfoPtr info(gst_discoverer_discover_uri(discoverer.get(), uri.get(), &raw));
  const ErrorPtr error(raw);
  if (error)
    ErrorText = QString::fromUtf8(error->message);
  if (!info) {
    Fail(ErrorText);
    return;
  }

  // The details array belongs to the info.
  const gchar **details = gst_discoverer_info_get_missing_elements_installer_details(info.get());
  for (const gchar **d = details; d && *d; ++d) {
    MissingPluginDetails << QString::fromUtf8(*d);
    // Details read "gstreamer|1.0|app|description|type-name": keep the description.
    const QStringList parts = QString::fromUtf8(*d).split(QLatin1Char('|'));
    MissingPluginNames << (parts.size() > 3 ? parts.at(3) : QString::fromUtf8(*d));
  }

  switch (gst_discoverer_info_get_result(info.get())) {
    case GST_DISCOVERER_OK:
      Status = TMediaProbeStatus::Ok;
      break;
    case GST_DISCOVERER_MISSING_PLUGINS:
      Status = TMediaProbeStatus::MissingPlugin;
      break;
    case GST_DISCOVERER_TIMEOUT:
      Status = TMediaProbeStatus::Timeout;
      break;
    case GST_DISCOVERER_URI_INVALID:
    case GST_DISCOVERER_BUSY:
      Status = TMediaProbeStatus::Error;
      break;
    case GST_DISCOVERER_ERROR:
      Status = TMediaProbeStatus::Error;
      if (error && error->domain == GST_STREAM_ERROR) {
        if (error->code == GST_STREAM_ERROR_TYPE_NOT_FOUND || error->code == GST_STREAM_ERROR_WRONG_TYPE)
          Status = TMediaProbeStatus::NotMediaFile;
        else if (error->code == GST_STREAM_ERROR_DEMUX || error->code == GST_STREAM_ERROR_DECODE ||
                 error->code == GST_STREAM_ERROR_FORMAT || error->code == GST_STREAM_ERROR_FAILED)
          Status = TMediaProbeStatus::BrokenFile;
        else if (error->code == GST_STREAM_ERROR_CODEC_NOT_FOUND)
          Status = TMediaProbeStatus::MissingPlugin;
      }
      break;
  }
  // Installer details mean a missing decoder even when the overall result says otherwise.
  if (!MissingPluginDetails.isEmpty())
    Status = TMediaProbeStatus::MissingPlugin;
  if (Status != TMediaProbeStatus::Ok && Status != TMediaProbeStatus::MissingPlugin)
    FVideoMajorType = QStringLiteral("ERROR");

  // The discoverer reports one length for the whole file; every stream gets it.
  const GstClockTime duration = gst_discoverer_info_get_duration(info.get());
  const double seconds = GST_CLOCK_TIME_IS_VALID(duration) ? static_cast<double>(duration) / GST_SECOND : 0.0;
  const int64_t durationMSec = SecondsToMSec(seconds);
  const QString durationText = DurationText(static_cast<int64_t>(seconds));

  const StreamListPtr videos(gst_discoverer_info_get_video_streams(info.get()));
  for (GList *node = videos.get(); node; node = node->next) {
    auto *stream = static_cast<GstDiscovererStreamInfo *>(node->data);
    auto *video = GST_DISCOVERER_VIDEO_INFO(stream);
    TVFVideoStreamInfo record;
    double length = seconds;
    if (length >= 0.01) {
      record.DurationMSec = durationMSec;
      record.Duration = durationText;
      FDefVideoDuration = durationText;
      FDefVideoDurationMSec = durationMSec;
      FDefVideoDurationDouble = seconds;
    } else {
      record.DurationMSec = FDefVideoDurationMSec;
      record.Duration = FDefVideoDuration;
      length = FDefVideoDurationDouble;
    }
    const guint rateDen = gst_discoverer_video_info_get_framerate_denom(video);
    if (rateDen != 0)
      record.FrameRate = static_cast<double>(gst_discoverer_video_info_get_framerate_num(video)) / rateDen;

    record.Rotation = RotationOf(stream);
    const int storedWidth = static_cast<int>(gst_discoverer_video_info_get_width(video));
    const int storedHeight = static_cast<int>(gst_discoverer_video_info_get_height(video));
    const bool swapped = record.Rotation == 90 || record.Rotation == 270;
    record.Width = swapped ? storedHeight : storedWidth;
    record.Height = swapped ? storedWidth : storedHeight;
    record.Codec = CodecDescription(stream);
    record.Bitrate = gst_discoverer_video_info_get_bitrate(video);

    // Non-square pixels: the picture aspect is the pixel aspect applied to the size.
    const guint parNum = gst_discoverer_video_info_get_par_num(video);
    const guint parDen = gst_discoverer_video_info_get_par_denom(video);
    if (parNum == 0 || parDen == 0 || parNum == parDen) {
      const AspectReduction aspect = ReduceAspect(record.Width, record.Height);
      record.AspectW = aspect.w;
      record.AspectH = aspect.h;
      record.AspectRatioStr = aspect.text;
      if (record.Height != 0)
        record.AspectRatio = static_cast<double>(record.Width) / record.Height;
    } else {
      int64_t x = static_cast<int64_t>(record.Width) * (swapped ? parDen : parNum);
      int64_t y = static_cast<int64_t>(record.Height) * (swapped ? parNum : parDen);
      const int64_t divisor = std::gcd(x, y);
      if (divisor > 0) {
        x /= divisor;
        y /= divisor;
      }
      if (x > 0 && y > 0 && x <= std::numeric_limits<int>::max() && y <= std::numeric_limits<int>::max()) {
        record.AspectW = static_cast<int>(x);
        record.AspectH = static_cast<int>(y);
        record.AspectRatioStr = QStringLiteral("%1:%2").arg(x).arg(y);
        record.AspectRatio = static_cast<double>(x) / static_cast<double>(y);
      }
    }
    record.FramesCount = RoundOrZero(length * record.FrameRate);
    FVideoStreams.push_back(record);
  }

  const StreamListPtr audios(gst_discoverer_info_get_audio_streams(info.get()));
  for (GList *node = audios.get(); node; node = node->next) {
    auto *stream = static_cast<GstDiscovererStreamInfo *>(node->data);
    auto *audio = GST_DISCOVERER_AUDIO_INFO(stream);
    TVFAudioStreamInfo record;
    if (seconds >= 0.01) {
      record.DurationMSec = durationMSec;
      record.Duration = durationText;
      FDefAudioDuration = durationText;
      FDefAudioDurationMSec = durationMSec;
      FDefAudioDurationDouble = seconds;
    } else {
      record.DurationMSec = FDefAudioDurationMSec;
      record.Duration = FDefAudioDuration;
    }
    record.Codec = CodecDescription(stream);
    record.SampleRate = static_cast<int>(gst_discoverer_audio_info_get_sample_rate(audio));
    record.Channels = static_cast<int>(gst_discoverer_audio_info_get_channels(audio));
    record.BPS = static_cast<int>(gst_discoverer_audio_info_get_depth(audio));
    record.Bitrate = gst_discoverer_audio_info_get_bitrate(audio) / 8.0;
    FAudioStreams.push_back(record);
  }

  const StreamListPtr subtitles(gst_discoverer_info_get_subtitle_streams(info.get()));
  for (GList *node = subtitles.get(); node; node = node->next) {
    auto *stream = static_cast<GstDiscovererStreamInfo *>(node->data);
    TVFTextStreamInfo record;
    record.Codec = SubtitleCodec(CapsName(stream));
    const gchar *language = gst_discoverer_subtitle_info_get_language(GST_DISCOVERER_SUBTITLE_INFO(stream));
    if (language)
      record.Language = QString::fromUtf8(language).left(4);
    const GstTagList *tags = gst_discoverer_stream_info_get_tags(stream);
    gchar *title = nullptr;
    if (tags && gst_tag_list_get_string(tags, GST_TAG_TITLE, &title)) {
      const CharPtr owned(title);
      record.Name = QString::fromUtf8(owned.get()).left(256);
    }
    FSubtitles.push_back(record);
  }

  ApplyDurationFallbacks(FVideoStreams, FAudioStreams, FileSizeOf(FFilename));
}

bool TMediaInfoReader::Info_Read(const QString &FilenameOrURL)
{
  try {
    const int64_t size = FileSizeOf(FilenameOrURL);
    if (FHavePrevious && FPreviousInfoFileName == FilenameOrURL && FPreviousInfoFileSize == size)
      return true;
    FHavePrevious = true;
    FPreviousInfoFileName = FilenameOrURL;
    FPreviousInfoFileSize = size;
    FInfo.FFilename = FilenameOrURL;
    ++FReadCount;
    FInfo.ReadInfo();
    return true;
  } catch (...) {
    return false;
  }
}

int TMediaInfoReader::Info_Video_Width(int StreamNumber) const
{
  if (StreamNumber < 0 || StreamNumber >= FInfo.VideoStreamsCount())
    return 0;
  return FInfo.FVideoStreams[static_cast<size_t>(StreamNumber)].Width;
}

int TMediaInfoReader::Info_Video_Height(int StreamNumber) const
{
  if (StreamNumber < 0 || StreamNumber >= FInfo.VideoStreamsCount())
    return 0;
  return FInfo.FVideoStreams[static_cast<size_t>(StreamNumber)].Height;
}

int TMediaInfoReader::Info_Video_DurationMSec(int StreamNumber) const
{
  if (StreamNumber < 0 || StreamNumber >= FInfo.VideoStreamsCount())
    return 0;
  // Keeps the low 32 bits, as the 32-bit interface always did.
  return static_cast<int>(static_cast<uint32_t>(
      static_cast<uint64_t>(FInfo.FVideoStreams[static_cast<size_t>(StreamNumber)].DurationMSec)));
}

}  // namespace player
