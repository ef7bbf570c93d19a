// Values across COM: the system's Variant and the automation VARIANT. Objects cross both ways:
// a native object goes out wrapped as an IDispatch (object_dispatch.h); an IDispatch comes in as
// the native object it wraps (when this module made it) or wrapped as a late-bound Object.
// Windows build only.
#pragma once

#ifdef _WIN32

#include "platform/variant.h"
#include "platform/win/windows_headers.h"

namespace q9::platform::win {

// The value of `v` (references followed). An array, an interface without IDispatch, an error
// value other than "parameter not found" (which is Missing) or any type without a counterpart is
// a type mismatch naming it.
Variant FromVariant(const VARIANT& v);
// Writes `v` into `out`, which must hold nothing that needs freeing (VariantInit or VariantClear
// first). A recordset goes out with the data-access library's object model (ado_recordset.h).
void ToVariant(const Variant& v, VARIANT* out);
// Stores `v` into the caller's by-reference argument `arg` (VT_BYREF): a variant reference
// receives it as it is, a typed reference converted to its type (type mismatch when it does not
// convert).
void StoreByRef(const Variant& v, VARIANT* arg);
// Same type and value, objects by identity.
bool SameVariant(const VARIANT& a, const VARIANT& b);

}  // namespace q9::platform::win

#endif  // _WIN32
