// A failure's text for COM callers: the thread's error object
// (SetErrorInfo), which vtable callers read with GetErrorInfo, and the
// EXCEPINFO of IDispatch::Invoke, which script hosts show as the error's
// description (com::Dispatch copies it there).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string_view>

namespace lumora::com {

// Sets the thread's error object to `text` (UTF-8; source "Lumora") and
// returns hr. Without memory for it, only hr is reported.
HRESULT ReportError(HRESULT hr, std::string_view text) noexcept;

// Clears the thread's error object.
void ClearError() noexcept;

// The number of ReportError calls on this thread so far: a caller that
// compares it before and after a call knows whether the call reported a
// text (without clearing anything on the way).
unsigned long ErrorReportCount() noexcept;

// After a member failed inside IDispatch::Invoke and reported a text: the
// description and source of the thread's error object into *exception
// (where the type information left them empty).
void FillException(EXCEPINFO* exception) noexcept;

}  // namespace lumora::com
