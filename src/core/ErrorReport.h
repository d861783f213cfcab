// The one entry point for a failure caught by a guarded step: a fixed English message and
// the code line mark ("CLM_" + the step) that names where it was caught.
//
// The shell installs the handler that shows the error dialog, sends the report and closes
// the main window. Callers treat the call as the end of their operation: the handler
// returns, the caller finishes its handler, and the program is closing by then.
// UI thread only; the handler is a process-wide setting.
#pragma once

#include <QString>

#include <functional>

namespace core {

using ReportErrorHandler = std::function<void(const QString& message, const QString& mark)>;

// Replaces the handler; an empty one restores the default (a line on stderr).
void SetReportErrorHandler(ReportErrorHandler handler);

// Passes message and mark to the installed handler. Without a handler, writes them to
// stderr and returns; it never throws on its own account.
void ReportError(const QString& message, const QString& mark);

}  // namespace core
