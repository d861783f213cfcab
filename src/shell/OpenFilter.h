// The file filter of the open dialog, in the form "Description|patterns|Description|...".
#pragma once

#include <QString>

namespace shell {

// Nine choices: all supported formats, any other format, then one per format. The blanks
// after ";" inside the MPEG-4 and MPEG patterns and the trailing ";" are part of the text.
QString BuildOpenFilter();

}  // namespace shell
