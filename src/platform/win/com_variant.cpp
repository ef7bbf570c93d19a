#ifdef _WIN32

#include "platform/win/com_variant.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/date.h"
#include "platform/db/ado_recordset.h"
#include "platform/db/recordset.h"
#include "platform/error.h"
#include "platform/win/com_text.h"
#include "platform/win/object_dispatch.h"

namespace q9::platform::win {
namespace {

Variant FromNumber(const VARIANT& v) {
  VARIANT d;
  VariantInit(&d);
  if (FAILED(VariantChangeType(&d, const_cast<VARIANT*>(&v), 0, VT_R8))) throw Overflow("a number");
  double value = d.dblVal;
  if (value >= INT32_MIN && value <= INT32_MAX && value == static_cast<int32_t>(value) &&
      V_VT(&v) != VT_R4 && V_VT(&v) != VT_CY && V_VT(&v) != VT_DECIMAL) {
    return Variant(static_cast<int32_t>(value));
  }
  return Variant(value);
}

Variant FromObject(IUnknown* unknown) {
  if (!unknown) return Variant::Nothing();
  if (ObjectPtr native = NativeObject(unknown)) {
    // A recordset this module handed out comes back as the recordset itself.
    if (auto ado = std::dynamic_pointer_cast<db::AdoRecordset>(native)) {
      return Variant(std::static_pointer_cast<Object>(ado->recordset()));
    }
    return Variant(native);
  }
  IDispatch* dispatch = nullptr;
  if (FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
    throw TypeMismatch("an object without automation (IDispatch)");
  }
  auto object = std::make_shared<DispatchObject>(dispatch);
  dispatch->Release();
  return Variant(std::static_pointer_cast<Object>(object));
}

}  // namespace

Variant FromVariant(const VARIANT& v) {
  VARTYPE vt = V_VT(&v);
  if (vt == (VT_BYREF | VT_VARIANT)) {
    if (!V_VARIANTREF(&v)) throw TypeMismatch("a null variant reference");
    return FromVariant(*V_VARIANTREF(&v));
  }
  if (vt & VT_ARRAY) throw TypeMismatch("an array");
  if (vt & VT_BYREF) {
    VARIANT value;
    VariantInit(&value);
    if (FAILED(VariantCopyInd(&value, const_cast<VARIANT*>(&v)))) throw TypeMismatch("a reference");
    Variant result = FromVariant(value);
    VariantClear(&value);
    return result;
  }
  switch (vt) {
    case VT_EMPTY:
      return Variant();
    case VT_NULL:
      return Variant::Null();
    case VT_ERROR:
      if (V_ERROR(&v) == DISP_E_PARAMNOTFOUND) return Variant::Missing();
      throw TypeMismatch("an error value");
    case VT_BOOL:
      return Variant(V_BOOL(&v) != VARIANT_FALSE);
    case VT_I1:
      return Variant(static_cast<int16_t>(V_I1(&v)));
    case VT_UI1:
      return Variant(static_cast<int16_t>(V_UI1(&v)));
    case VT_I2:
      return Variant(static_cast<int16_t>(V_I2(&v)));
    case VT_I4:
      return Variant(static_cast<int32_t>(V_I4(&v)));
    case VT_R8:
      return Variant(V_R8(&v));
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_CY:
    case VT_DECIMAL:
      return FromNumber(v);
    case VT_DATE: {
      SYSTEMTIME st;
      if (!VariantTimeToSystemTime(V_DATE(&v), &st)) throw Overflow("a date");
      auto d = Date::Make(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
      if (!d) throw Overflow("a date");
      return Variant(*d);
    }
    case VT_BSTR:
      return Variant(BstrToUtf8(V_BSTR(&v)));
    case VT_DISPATCH:
      return FromObject(V_DISPATCH(&v));
    case VT_UNKNOWN:
      return FromObject(V_UNKNOWN(&v));
    default:
      throw TypeMismatch("a value of variant type " + std::to_string(vt));
  }
}

void ToVariant(const Variant& v, VARIANT* out) {
  VariantInit(out);
  switch (v.type()) {
    case VarType::Empty:
      return;
    case VarType::Null:
      V_VT(out) = VT_NULL;
      return;
    case VarType::Missing:
      V_VT(out) = VT_ERROR;
      V_ERROR(out) = DISP_E_PARAMNOTFOUND;
      return;
    case VarType::Boolean:
      V_VT(out) = VT_BOOL;
      V_BOOL(out) = v.ToBool() ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    case VarType::I2:
      V_VT(out) = VT_I2;
      V_I2(out) = v.ToI2();
      return;
    case VarType::I4:
      V_VT(out) = VT_I4;
      V_I4(out) = v.ToI4();
      return;
    case VarType::R8:
      V_VT(out) = VT_R8;
      V_R8(out) = v.ToDouble();
      return;
    case VarType::Date: {
      Date d = v.ToDate();
      SYSTEMTIME st{};
      st.wYear = static_cast<WORD>(d.year());
      st.wMonth = static_cast<WORD>(d.month());
      st.wDay = static_cast<WORD>(d.day());
      st.wHour = static_cast<WORD>(d.hour());
      st.wMinute = static_cast<WORD>(d.minute());
      st.wSecond = static_cast<WORD>(d.second());
      V_VT(out) = VT_DATE;
      if (!SystemTimeToVariantTime(&st, &V_DATE(out))) V_DATE(out) = 0;
      return;
    }
    case VarType::String:
      V_VT(out) = VT_BSTR;
      V_BSTR(out) = NewBstr(v.string_ref());
      return;
    case VarType::Object: {
      V_VT(out) = VT_DISPATCH;
      const ObjectPtr& object = v.object();
      if (!object) {
        V_DISPATCH(out) = nullptr;
      } else if (auto foreign = std::dynamic_pointer_cast<DispatchObject>(object)) {
        V_DISPATCH(out) = foreign->dispatch();
        V_DISPATCH(out)->AddRef();
      } else if (auto rs = std::dynamic_pointer_cast<db::Recordset>(object)) {
        V_DISPATCH(out) = NewObjectDispatch(std::make_shared<db::AdoRecordset>(rs));
      } else {
        V_DISPATCH(out) = NewObjectDispatch(object);
      }
      return;
    }
  }
}

void StoreByRef(const Variant& v, VARIANT* arg) {
  VARTYPE vt = V_VT(arg);
  if (vt == (VT_BYREF | VT_VARIANT)) {
    VARIANT* target = V_VARIANTREF(arg);
    VariantClear(target);
    ToVariant(v, target);
    return;
  }
  VARIANT value;
  ToVariant(v, &value);
  VARIANT typed;
  VariantInit(&typed);
  HRESULT hr = VariantChangeType(&typed, &value, 0, static_cast<VARTYPE>(vt & ~VT_BYREF));
  VariantClear(&value);
  if (FAILED(hr))
    throw TypeMismatch("a by-reference argument of variant type " + std::to_string(vt & ~VT_BYREF));
  switch (vt & ~VT_BYREF) {
    case VT_BSTR:
      SysFreeString(*V_BSTRREF(arg));
      *V_BSTRREF(arg) = V_BSTR(&typed);
      return;
    case VT_DISPATCH:
      if (*V_DISPATCHREF(arg)) (*V_DISPATCHREF(arg))->Release();
      *V_DISPATCHREF(arg) = V_DISPATCH(&typed);
      return;
    case VT_BOOL:
      *V_BOOLREF(arg) = V_BOOL(&typed);
      return;
    case VT_I2:
      *V_I2REF(arg) = V_I2(&typed);
      return;
    case VT_I4:
      *V_I4REF(arg) = V_I4(&typed);
      return;
    case VT_R8:
      *V_R8REF(arg) = V_R8(&typed);
      return;
    case VT_DATE:
      *V_DATEREF(arg) = V_DATE(&typed);
      return;
    default:
      VariantClear(&typed);
      throw TypeMismatch("a by-reference argument of variant type " + std::to_string(vt));
  }
}

bool SameVariant(const VARIANT& a, const VARIANT& b) {
  if (V_VT(&a) != V_VT(&b)) return false;
  switch (V_VT(&a)) {
    case VT_EMPTY:
    case VT_NULL:
      return true;
    case VT_BSTR:
      return VarBstrCmp(V_BSTR(&a), V_BSTR(&b), 0, 0) == static_cast<HRESULT>(VARCMP_EQ);
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return V_UNKNOWN(&a) == V_UNKNOWN(&b);
    default:
      return std::memcmp(&a.llVal, &b.llVal, sizeof a.llVal) == 0;
  }
}

}  // namespace q9::platform::win

#endif  // _WIN32
