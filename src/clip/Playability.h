// Whether an opened file can be played, and whether a missing decoder is to blame, from
// the media information the player read for it.
#pragma once

#include <QString>
#include <QStringList>

#include "MediaInfo.h"

namespace clip {

struct TPlayability {
  // The file has a readable video stream 0 with a picture of positive size.
  bool Playable = false;
  // The media layer reported a missing decoder or demuxer for this file. This takes the
  // place of the codec-pack check: the decoders are "installed" unless this is set.
  bool DecoderMissing = false;
  // What gst_install_plugins_async needs to offer the missing pieces (may be empty).
  QStringList MissingDetails;
};

// A file cannot be played when reading its information failed in any way (not found, not
// media, broken, timed out, a missing plugin, any other error), when it has no video
// stream, or when stream 0 has a width or height of 0 or less.
TPlayability JudgePlayability(const player::TVFVideoInfoMP &info);

// The remedy texts of a file that cannot be played.
QString CannotPlayMessage(const TPlayability &verdict);

// Offers to install the missing decoders (GStreamer's installer, asynchronously; the
// program does not wait). Does nothing when details is empty or this desktop cannot
// install plugins. UI thread.
void StartDecoderInstall(const QStringList &details);

}  // namespace clip
