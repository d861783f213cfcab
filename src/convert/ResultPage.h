// The result of a conversion on disk and in the browser: "out.gif" and the page "out.html"
// that shows it, both in the working folder under the user's application data, rewritten
// by every conversion and every "GIF Viewer". UI thread only.
#pragma once

#include <QByteArray>
#include <QString>

#include "GIFImage.h"
#include "Prompts.h"

namespace convert {

// appData + "/Zentiq/Quorvane".
QString ResultWorkDir(const QString& appData);
QString ResultGifPath(const QString& workDir);   // workDir + "/out.gif"
QString ResultPagePath(const QString& workDir);  // workDir + "/out.html"

// The page: six ASCII lines, each ended by CR LF. It refers to "out.gif" beside it.
QByteArray ResultPageText();

// Shows `image` to the user:
// - no image or no frames: the warning "GIF is empty.", nothing written;
// - makes the folders (application data + "/Zentiq", then the working folder, which
//   `workDir` receives); failing that: ReportError "Cannot create folder in Application
//   Data" (CLM_GetSpecialPath);
// - writes out.gif (replacing the old file only once the new one is complete); failing
//   that: ReportError "Cannot save temporary GIF to" + path (CLM_GIFSave1);
// - writes out.html; failing that, the error's text goes to the warning box (no guard
//   covers this step) and the page is not opened;
// - hands the page's file URL to the opener, whatever it answers.
// After a ReportError nothing further is done. `image` keeps its frames and stays with its owner.
void ShowResult(gifimage::TGIFImage* image, QString& workDir, core::IPrompts& prompts,
                core::IUrlOpener& opener);

}  // namespace convert
