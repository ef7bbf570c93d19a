// IClsKCZT as a COM object: the dual interface _IClsKCZT over the component.
#pragma once

#include "platform/win/windows_headers.h"

namespace q9::com {

// The vtable part of the dual interface, in the published order after IDispatch's methods.
struct _IClsKCZT : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Init(IDispatch* oLogin, BSTR* sMsg, VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenPage(BSTR sXml, VARIANT* Rs1, VARIANT* Rs2, short iSelectTz,
                                             VARIANT* sMsg, VARIANT* CurPosition,
                                             VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenX(BSTR sXml, VARIANT* Rs1, short iSelectTz, VARIANT* sMsg,
                                          VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPeriodDay(VARIANT* rs, VARIANT* sMsg,
                                                 VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDefineName(VARIANT* rs, VARIANT* Msg,
                                                  VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFreeName(VARIANT* rs, VARIANT* Msg,
                                                VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHDefineName(VARIANT* rs, VARIANT* Msg,
                                                   VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBDefineName(VARIANT* rs, VARIANT* Msg,
                                                   VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRefData(VARIANT_BOOL blnRefMode, BSTR strTable,
                                               BSTR strFilter, BSTR strKeyWord, BSTR strOrder,
                                               short intPageSize, long* intCurPage,
                                               long* intPageCount, VARIANT* rs, VARIANT* RsCol,
                                               VARIANT* errMsg, VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE SaveFormat(BSTR sXml, BSTR* Msg, VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTaskAuth(BSTR P_AuthId, short LockNum, VARIANT* Msg,
                                                VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetQueryFormat(BSTR QueryName, IDispatch** rsFormat, BSTR* sMsg,
                                                   VARIANT* sQueryid, VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE PrintSrv(VARIANT* strCommand, VARIANT* varParam,
                                             VARIANT* varReturn, BSTR* sError, VARIANT* result) = 0;
};

// A new instance with one reference (what the class factory hands out).
HRESULT CreateIClsKCZT(IUnknown** out);

}  // namespace q9::com
