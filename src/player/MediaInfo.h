// Media information of a file: streams, picture size and duration, read with GStreamer's
// discoverer before a file is played. UI thread only; nothing here throws to its callers.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace player {

// One video stream. Width and Height are the upright picture: for a stream tagged as
// rotated by 90 or 270 degrees they are the stored size swapped.
struct TVFVideoStreamInfo {
  int Width = 0;
  int Height = 0;
  int Rotation = 0;  // clockwise degrees from the stream's orientation tag: 0, 90, 180, 270
  int64_t DurationMSec = 0;
  QString Duration;  // whole seconds as "mm:ss" or "hh:mm:ss"
  double FrameRate = 0;
  int FramesCount = 0;
  QString FourCC;  // not known from the discoverer: stays empty
  QString Codec;   // GStreamer's description of the stream's caps
  double Bitrate = 0;
  int AspectW = 0;
  int AspectH = 0;
  QString AspectRatioStr;
  double AspectRatio = 0;
};

struct TVFAudioStreamInfo {
  QString Codec;
  QString Duration;
  int64_t DurationMSec = 0;
  int SampleRate = 0;
  double Bitrate = 0;  // bytes per second
  int BPS = 0;         // bits per sample, 0 for compressed audio
  int Channels = 0;
};

struct TVFTextStreamInfo {
  QString Codec;  // "UTF8", "SSA", "ASS", "USF", "VOBSUB", else the caps name
  QString Language;
  QString Name;
};

// How the last read went, so opening code can tell a missing decoder from a file that is
// not media at all and from a broken one.
enum class TMediaProbeStatus {
  NotRead,        // nothing read yet
  Ok,             // the discoverer understood the file
  FileNotFound,   // no such local file
  MissingPlugin,  // a decoder (or demuxer) is missing: see MissingPluginDetails
  NotMediaFile,   // no known media type
  BrokenFile,     // a demuxer, decoder or format error
  Timeout,        // the discoverer did not finish in time; GStreamer 1.22 sometimes loses a
                  // demuxer's early error and ends here, so treat it like BrokenFile
  Error,          // anything else (no discoverer, bad name, ...): see ErrorText
};

// The information of one file, refilled by ReadInfo.
class TVFVideoInfoMP {
 public:
  // Clears everything, then reads FFilename (a local path). Lists stay empty when the file
  // cannot be read; Status and ErrorText say why.
  void ReadInfo();

  QString FFilename;
  QString FFileFormat;     // from the extension, e.g. "MPEG 4"; unchanged for unknown ones
  QString FVideoMajorType; // "FILE NOT FOUND" or "ERROR" when reading failed
  std::vector<TVFVideoStreamInfo> FVideoStreams;
  std::vector<TVFAudioStreamInfo> FAudioStreams;
  std::vector<TVFTextStreamInfo> FSubtitles;

  // The last duration found for a stream of each kind.
  QString FDefVideoDuration;
  int64_t FDefVideoDurationMSec = 0;
  double FDefVideoDurationDouble = 0;
  QString FDefAudioDuration;
  int64_t FDefAudioDurationMSec = 0;
  double FDefAudioDurationDouble = 0;

  TMediaProbeStatus Status = TMediaProbeStatus::NotRead;
  QString ErrorText;                 // the discoverer's error message, if any
  QStringList MissingPluginDetails;  // installer details for gst_install_plugins_async
  QStringList MissingPluginNames;    // readable descriptions of what is missing

  int VideoStreamsCount() const { return static_cast<int>(FVideoStreams.size()); }
  int AudioStreamsCount() const { return static_cast<int>(FAudioStreams.size()); }

 private:
  void Clear();
  void Probe();
  // Marks the read as failed before the discoverer could say anything about the file.
  void Fail(const QString &text);
};

// The player's reader: reads a file once and again only when its name or size changed.
class TMediaInfoReader {
 public:
  // Reads FilenameOrURL (a local path; anything else reads as "FILE NOT FOUND") unless it
  // is the file read last time with the same size. True also when nothing was found;
  // false only when reading failed unexpectedly. Blocks for up to 5 s (discoverer timeout).
  bool Info_Read(const QString &FilenameOrURL);

  // Field of video stream StreamNumber (0-based), 0 when there is no such stream.
  int Info_Video_Width(int StreamNumber) const;
  int Info_Video_Height(int StreamNumber) const;
  int Info_Video_DurationMSec(int StreamNumber) const;  // 64-bit value truncated to 32 bits

  const TVFVideoInfoMP &Info() const { return FInfo; }
  // How many times a file was actually read (cache misses), for tests and logs.
  int ReadCount() const { return FReadCount; }

 private:
  TVFVideoInfoMP FInfo;
  QString FPreviousInfoFileName;
  int64_t FPreviousInfoFileSize = -1;
  bool FHavePrevious = false;
  int FReadCount = 0;
};

// The pieces of the reading rules, exposed for tests.

// Format text for a file name's extension, or an empty string for an unknown one.
QString FileFormatFromExtension(const QString &fileName);

// First i:j (i, j in 1..100, i outer) within 0.02 % of w:h; empty text and 0:0 when none.
struct AspectReduction {
  int w = 0;
  int h = 0;
  QString text;
};
AspectReduction ReduceAspect(int width, int height);

// "mm:ss" below an hour, else "hh:mm:ss"; each part at least two digits.
QString DurationText(int64_t wholeSeconds);

// Seconds to whole milliseconds, ties to even.
int64_t SecondsToMSec(double seconds);

// Gives video streams without a length the length of the longest audio stream (the first
// of equal ones), with their frame count; then the first video stream's bit rate from the
// file size when it has none.
void ApplyDurationFallbacks(std::vector<TVFVideoStreamInfo> &videos,
                            const std::vector<TVFAudioStreamInfo> &audios, int64_t fileSize);

}  // namespace player
