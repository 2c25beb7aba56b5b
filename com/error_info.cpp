#include "com/error_info.h"

#include <oleauto.h>
#include <wrl/client.h>

#include "com/raii.h"
#include "com/text.h"

namespace lumora::com {

using Microsoft::WRL::ComPtr;

namespace {
thread_local unsigned long reports = 0;
}  // namespace

unsigned long ErrorReportCount() noexcept { return reports; }

HRESULT ReportError(HRESULT hr, std::string_view text) noexcept {
  ++reports;
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(&create))) return hr;
  Bstr description = BstrFromUtf8(text);
  if (!description.Get()) return hr;
  create->SetDescription(description.Get());
  create->SetSource(const_cast<LPOLESTR>(L"Lumora"));
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
  return hr;
}

void ClearError() noexcept { SetErrorInfo(0, nullptr); }

void FillException(EXCEPINFO* exception) noexcept {
  if (!exception) return;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, &info) != S_OK || !info) return;
  if (!exception->bstrDescription) info->GetDescription(&exception->bstrDescription);
  if (!exception->bstrSource) info->GetSource(&exception->bstrSource);
}

}  // namespace lumora::com
