#include "OpenFilter.h"

#include <utility>

namespace shell {

QString BuildOpenFilter() {
  static const std::pair<const char*, const char*> kFormats[] = {
      {"AVI files", "*.avi"},
      {"MPEG-4 files", "*.mp4; *.m4v"},
      {"MPEG files", "*.mpg; *.mpeg"},
      {"Windows Media Video", "*.wmv"},
      {"QuickTime", "*.mov"},
      {"Matroska", "*.mkv"},
      {"3GP", "*.3gp"},
  };
  QString filter = QStringLiteral("All Supported Video Formats |");
  for (const auto& [name, patterns] : kFormats) filter += QLatin1String(patterns) + QLatin1Char(';');
  filter += QStringLiteral("|Any Other Video Format (Codec Required)|*.*");
  for (const auto& [name, patterns] : kFormats) {
    filter += QLatin1Char('|') + QLatin1String(name) + QStringLiteral(" (") + QLatin1String(patterns) +
              QStringLiteral(")|") + QLatin1String(patterns) + QLatin1Char(';');
  }
  return filter;
}

}  // namespace shell
