#ifdef _WIN32

#include "platform/win/com_error.h"

#include <cstdio>

#include "platform/win/com_text.h"

namespace q9::platform::win {

HRESULT ErrorHResult(int number) {
  if (number < 0) return static_cast<HRESULT>(number);
  if (number == 0 || number > 0xFFFF) return E_FAIL;
  return static_cast<HRESULT>(0x800A0000u | static_cast<unsigned>(number));
}

int ErrorNumber(HRESULT hr) {
  if ((static_cast<unsigned>(hr) & 0xFFFF0000u) == 0x800A0000u) return hr & 0xFFFF;
  return static_cast<int>(hr);
}

void FillExcepInfo(const ComError& error, EXCEPINFO* info) {
  if (!info) return;
  *info = EXCEPINFO{};
  info->scode = ErrorHResult(error.number());
  info->bstrSource = NewBstr(error.source());
  info->bstrDescription = NewBstr(error.description());
}

HRESULT SetErrorInfoFrom(const ComError& error, const IID& iid) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create))) {
    std::wstring source = Utf8ToWide(error.source());
    std::wstring description = Utf8ToWide(error.description());
    create->SetGUID(iid);
    create->SetSource(source.data());
    create->SetDescription(description.data());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return ErrorHResult(error.number());
}

ComError ErrorFromExcepInfo(EXCEPINFO& info) {
  if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
  int number = info.scode != 0 ? ErrorNumber(info.scode) : info.wCode;
  ComError error(number, BstrToUtf8(info.bstrSource), BstrToUtf8(info.bstrDescription));
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  info = EXCEPINFO{};
  return error;
}

ComError ErrorFromHResult(HRESULT hr, const std::string& what) {
  switch (hr) {
    case DISP_E_TYPEMISMATCH:
      return TypeMismatch(what);
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
      return MemberNotFound(what);
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTOPTIONAL:
      return WrongArgumentCount(what);
    case DISP_E_OVERFLOW:
      return Overflow(what);
    default:
      break;
  }
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  return ComError(ErrorNumber(hr), what, what + " failed with " + code);
}

}  // namespace q9::platform::win

#endif  // _WIN32
