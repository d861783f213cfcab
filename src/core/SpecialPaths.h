// The standard user folders, by the shell folder numbers the program uses. UI thread only.
#pragma once

#include <QString>

namespace core {

// Folder numbers accepted by GetSpecialPath.
enum SpecialFolder : int {
  sfDocuments = 5,        // the user's documents folder
  sfVideos = 14,          // the user's videos folder
  sfApplicationData = 26, // per-user application data (XDG_DATA_HOME)
  sfProgramFiles = 38,    // the folder of the installed program
};

// The folder's path with "/" separators and no trailing separator. The user folders
// (documents, videos, application data) are created when missing, as the desktop shell
// would. An unknown number, or a folder that cannot be resolved or created, gives an
// empty string. A failure inside is reported as "Could not get standard path"
// (CLM_GetSpecialPath) and also gives an empty string.
QString GetSpecialPath(int folderId);

}  // namespace core
