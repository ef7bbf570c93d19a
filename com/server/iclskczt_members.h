// The members of _IClsKCZT as the type library publishes them: names, member ids, and each
// argument's type, direction and optional default. The type library writer and the server's
// dispatcher both read this one table.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "component/com_identity.h"

namespace q9::com {

enum class ArgType {
  kBstr,         // BSTR, [in]
  kBstrRef,      // BSTR*, [in, out]
  kVariantRef,   // VARIANT*, [in, out]
  kI2,           // short, [in]
  kI4Ref,        // long*, [in, out]
  kBool,         // VARIANT_BOOL, [in]
  kDispatch,     // IDispatch*, [in]
  kDispatchRef,  // IDispatch**, [in, out]
};

enum class ArgDefault { kNone, kEmptyText, kZeroI2 };

struct ArgInfo {
  const wchar_t* name;
  ArgType type;
  bool optional = false;
  ArgDefault default_value = ArgDefault::kNone;
};

enum class ResultType { kBool, kVariant };

struct MemberInfo {
  const wchar_t* name;
  int32_t id;
  std::span<const ArgInfo> args;
  ResultType result = ResultType::kBool;
};

namespace members {
using enum ArgType;
inline constexpr ArgInfo kInit[] = {{L"oLogin", kDispatch},
                                    {L"sMsg", kBstrRef, true, ArgDefault::kEmptyText}};
inline constexpr ArgInfo kOpenPage[] = {{L"sXml", kBstr},
                                        {L"Rs1", kVariantRef},
                                        {L"Rs2", kVariantRef},
                                        {L"iSelectTz", kI2},
                                        {L"sMsg", kVariantRef, true},
                                        {L"CurPosition", kVariantRef, true, ArgDefault::kZeroI2}};
inline constexpr ArgInfo kOpenX[] = {
    {L"sXml", kBstr}, {L"Rs1", kVariantRef}, {L"iSelectTz", kI2}, {L"sMsg", kVariantRef, true}};
inline constexpr ArgInfo kGetPeriodDay[] = {{L"rs", kVariantRef}, {L"sMsg", kVariantRef}};
inline constexpr ArgInfo kCaptions[] = {{L"rs", kVariantRef}, {L"Msg", kVariantRef, true}};
inline constexpr ArgInfo kGetRefData[] = {
    {L"blnRefMode", kBool},  {L"strTable", kBstr},      {L"strFilter", kBstr},
    {L"strKeyWord", kBstr},  {L"strOrder", kBstr},      {L"intPageSize", kI2},
    {L"intCurPage", kI4Ref}, {L"intPageCount", kI4Ref}, {L"rs", kVariantRef},
    {L"RsCol", kVariantRef}, {L"errMsg", kVariantRef}};
inline constexpr ArgInfo kSaveFormat[] = {{L"sXml", kBstr}, {L"Msg", kBstrRef}};
inline constexpr ArgInfo kGetTaskAuth[] = {
    {L"P_AuthId", kBstr}, {L"LockNum", kI2}, {L"Msg", kVariantRef, true}};
inline constexpr ArgInfo kGetQueryFormat[] = {{L"QueryName", kBstr},
                                              {L"rsFormat", kDispatchRef},
                                              {L"sMsg", kBstrRef, true},
                                              {L"sQueryid", kVariantRef, true}};
inline constexpr ArgInfo kPrintSrv[] = {{L"strCommand", kVariantRef},
                                        {L"varParam", kVariantRef},
                                        {L"varReturn", kVariantRef},
                                        {L"sError", kBstrRef}};
}  // namespace members

// In the interface's published order.
inline constexpr std::array<MemberInfo, 13> kMembers = {{
    {L"Init", component::kDispIdInit, members::kInit},
    {L"OpenPage", component::kDispIdOpenPage, members::kOpenPage},
    {L"OpenX", component::kDispIdOpenX, members::kOpenX},
    {L"GetPeriodDay", component::kDispIdGetPeriodDay, members::kGetPeriodDay},
    {L"GetDefineName", component::kDispIdGetDefineName, members::kCaptions},
    {L"GetFreeName", component::kDispIdGetFreeName, members::kCaptions},
    {L"GetHDefineName", component::kDispIdGetHDefineName, members::kCaptions},
    {L"GetBDefineName", component::kDispIdGetBDefineName, members::kCaptions},
    {L"GetRefData", component::kDispIdGetRefData, members::kGetRefData},
    {L"SaveFormat", component::kDispIdSaveFormat, members::kSaveFormat},
    {L"GetTaskAuth", component::kDispIdGetTaskAuth, members::kGetTaskAuth},
    {L"GetQueryFormat", component::kDispIdGetQueryFormat, members::kGetQueryFormat},
    {L"PrintSrv", component::kDispIdPrintSrv, members::kPrintSrv, ResultType::kVariant},
}};

}  // namespace q9::com
