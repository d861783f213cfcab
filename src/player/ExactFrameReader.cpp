#include "ExactFrameReader.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <QFileInfo>
#include <QUrl>

#include <cstring>

#include "EffectsStage.h"

namespace player {

namespace {

// How long Start waits for the file to open and for the position to settle.
constexpr GstClockTime kOpenTimeout = 10 * GST_SECOND;

QString MessageError(GstMessage *message)
{
  GError *error = nullptr;
  gchar *debug = nullptr;
  gst_message_parse_error(message, &error, &debug);
  const QString element = QString::fromUtf8(GST_OBJECT_NAME(GST_MESSAGE_SRC(message)));
  QString text = QStringLiteral("%1: %2").arg(element, QString::fromUtf8(error ? error->message : "unknown error"));
  if (debug)
    text += QStringLiteral(" (%1)").arg(QString::fromUtf8(debug));
  if (error)
    g_error_free(error);
  g_free(debug);
  return text;
}

}  // namespace

TExactFrameReader::TExactFrameReader(const QString &fileName, const std::vector<CVFEffect> &effects)
    : FFileName(fileName), FStage(std::make_unique<EffectsStage>())
{
  for (const CVFEffect &effect : effects)
    FStage->AddEffect(effect);
}

TExactFrameReader::~TExactFrameReader() { Stop(); }

void TExactFrameReader::Stop()
{
  if (FPipeline) {
    gst_element_set_state(FPipeline, GST_STATE_NULL);
    gst_object_unref(FPipeline);
    FPipeline = nullptr;
  }
  if (FSink) {
    gst_object_unref(FSink);
    FSink = nullptr;
  }
}

bool TExactFrameReader::Start(int startMs)
{
  Stop();
  FError.clear();
  FEnded = false;
  if (!gst_is_initialized() && !gst_init_check(nullptr, nullptr, nullptr)) {
    FError = QStringLiteral("GStreamer cannot be initialised");
    return false;
  }
  const QString uri = QUrl::fromLocalFile(QFileInfo(FFileName).absoluteFilePath()).toString(QUrl::FullyEncoded);
  // Only the video stream is decoded; videoflip turns tagged (phone) videos upright as the
  // player does; no clock: the sink takes frames as fast as they come, a few at a time.
  const QByteArray description =
      QByteArrayLiteral("uridecodebin name=source ! "
                        "videoflip video-direction=auto ! videoconvert ! video/x-raw,format=BGRx ! "
                        "appsink name=framesink sync=false max-buffers=4 drop=false enable-last-sample=false");
  GError *error = nullptr;
  GstElement *pipeline = gst_parse_launch(description.constData(), &error);
  if (error) {
    FError = QString::fromUtf8(error->message);
    g_error_free(error);
    if (pipeline)
      gst_object_unref(pipeline);
    return false;
  }
  if (!pipeline) {
    FError = QStringLiteral("the decoding pipeline cannot be built");
    return false;
  }
  // The new pipeline's reference is floating: sinking it makes it ours.
  FPipeline = GST_ELEMENT(gst_object_ref_sink(pipeline));
  if (GstElement *source = gst_bin_get_by_name(GST_BIN(FPipeline), "source")) {
    g_object_set(source, "uri", uri.toUtf8().constData(), nullptr);
    gst_object_unref(source);
  }
  FSink = gst_bin_get_by_name(GST_BIN(FPipeline), "framesink");

  // Paused first, so that the position can be set before any frame is taken.
  if (gst_element_set_state(FPipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ||
      gst_element_get_state(FPipeline, nullptr, nullptr, kOpenTimeout) != GST_STATE_CHANGE_SUCCESS) {
    if (CheckBus())
      FError = QStringLiteral("the video cannot be opened for decoding");
    Stop();
    return false;
  }
  if (startMs > 0) {
    // The key frame at or before the start: the frames up to the start are decoded and the
    // caller takes the one shown at its times.
    if (!gst_element_seek_simple(FPipeline, GST_FORMAT_TIME,
                                 static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT |
                                                           GST_SEEK_FLAG_SNAP_BEFORE),
                                 static_cast<gint64>(startMs) * GST_MSECOND) ||
        gst_element_get_state(FPipeline, nullptr, nullptr, kOpenTimeout) != GST_STATE_CHANGE_SUCCESS) {
      if (CheckBus())
        FError = QStringLiteral("the video cannot be positioned at %1 ms").arg(startMs);
      Stop();
      return false;
    }
  }
  if (gst_element_set_state(FPipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    if (CheckBus())
      FError = QStringLiteral("the video cannot be decoded");
    Stop();
    return false;
  }
  return true;
}

bool TExactFrameReader::CheckBus()
{
  if (!FPipeline)
    return true;
  GstBus *bus = gst_element_get_bus(FPipeline);
  bool ok = true;
  while (GstMessage *message =
             gst_bus_pop_filtered(bus, static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS))) {
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR && ok) {
      FError = MessageError(message);
      ok = false;
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
      FEnded = true;
    }
    gst_message_unref(message);
  }
  gst_object_unref(bus);
  return ok;
}

TExactFrameReader::TNext TExactFrameReader::Next(TFrame &frame, int timeoutMs)
{
  if (!FPipeline || !FSink)
    return FError.isEmpty() ? TNext::End : TNext::Error;
  GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(FSink),
                                                   static_cast<GstClockTime>(timeoutMs) * GST_MSECOND);
  if (!sample) {
    if (!CheckBus())
      return TNext::Error;
    return gst_app_sink_is_eos(GST_APP_SINK(FSink)) || FEnded ? TNext::End : TNext::Waiting;
  }
  GstBuffer *buffer = gst_sample_get_buffer(sample);
  GstCaps *caps = gst_sample_get_caps(sample);
  GstVideoInfo info;
  GstVideoFrame mapped;
  if (!buffer || !caps || !gst_video_info_from_caps(&info, caps) ||
      !gst_video_frame_map(&mapped, &info, buffer, GST_MAP_READ)) {
    gst_sample_unref(sample);
    FError = QStringLiteral("a decoded frame cannot be read");
    return TNext::Error;
  }
  const int width = GST_VIDEO_FRAME_WIDTH(&mapped);
  const int height = GST_VIDEO_FRAME_HEIGHT(&mapped);
  const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, 0);
  const auto *pixels = static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, 0));
  QImage picture(width, height, QImage::Format_RGB32);
  if (!picture.isNull())
    for (int y = 0; y < height; ++y)
      std::memcpy(picture.scanLine(y), pixels + static_cast<qsizetype>(y) * stride, static_cast<size_t>(width) * 4);
  gst_video_frame_unmap(&mapped);

  // Stream time, as the player's position counts it.
  const GstSegment *segment = gst_sample_get_segment(sample);
  const GstClockTime pts = GST_BUFFER_PTS(buffer);
  const GstClockTime duration = GST_BUFFER_DURATION(buffer);
  std::int64_t timeNs = -1, endNs = -1;
  if (GST_CLOCK_TIME_IS_VALID(pts)) {
    const guint64 stream = segment ? gst_segment_to_stream_time(segment, GST_FORMAT_TIME, pts) : pts;
    if (GST_CLOCK_TIME_IS_VALID(stream)) {
      timeNs = static_cast<std::int64_t>(stream);
      if (GST_CLOCK_TIME_IS_VALID(duration))
        endNs = timeNs + static_cast<std::int64_t>(duration);
    }
  }
  gst_sample_unref(sample);
  if (picture.isNull()) {
    FError = QStringLiteral("out of memory for a decoded frame");
    return TNext::Error;
  }
  if (timeNs < 0) {
    FError = QStringLiteral("a decoded frame has no time");
    return TNext::Error;
  }
  FStage->Apply(picture, timeNs / 1000000);
  frame.Picture = std::move(picture);
  frame.TimeNs = timeNs;
  frame.EndNs = endNs;
  return TNext::Frame;
}

}  // namespace player
