#include "Playability.h"

#include <gst/pbutils/pbutils.h>

#include <vector>

namespace clip {

TPlayability JudgePlayability(const player::TVFVideoInfoMP &info)
{
  TPlayability verdict;
  verdict.MissingDetails = info.MissingPluginDetails;
  verdict.DecoderMissing =
      info.Status == player::TMediaProbeStatus::MissingPlugin || !info.MissingPluginDetails.isEmpty();
  if (verdict.DecoderMissing || info.Status != player::TMediaProbeStatus::Ok)
    return verdict;
  verdict.Playable = !info.FVideoStreams.empty() && info.FVideoStreams.front().Width > 0
                     && info.FVideoStreams.front().Height > 0;
  return verdict;
}

QString CannotPlayMessage(const TPlayability &verdict)
{
  if (verdict.DecoderMissing)
    return QStringLiteral("Could not play video. Please install GStreamer libav plugins (gstreamer1.0-libav). "
                          "After that, run the program again.");
  return QStringLiteral("Could not play video. Please try to open another file.");
}

namespace {

// The outcome does not matter: the program is closing when the installer finishes.
void InstallFinished(GstInstallPluginsReturn, gpointer) {}

}  // namespace

void StartDecoderInstall(const QStringList &details)
{
  if (details.isEmpty() || !gst_install_plugins_supported())
    return;
  std::vector<QByteArray> texts;
  texts.reserve(details.size());
  for (const QString &detail : details)
    texts.push_back(detail.toUtf8());
  std::vector<const gchar *> pointers;
  for (const QByteArray &text : texts)
    pointers.push_back(text.constData());
  pointers.push_back(nullptr);
  gst_install_plugins_async(pointers.data(), nullptr, InstallFinished, nullptr);
}

}  // namespace clip
