// The component's COM identity, fixed once: what a COM shell registers and publishes.
#pragma once

#include <cstdint>

namespace q9::component {

inline constexpr const char* kTypeLibraryName = "Q9STRepSrv";
inline constexpr uint16_t kTypeLibraryMajor = 1;
inline constexpr uint16_t kTypeLibraryMinor = 0;
inline constexpr const char* kServerFile = "Q9STRepSrv.dll";
inline constexpr const char* kLibId = "{6B1F6C1E-3A5D-4C2B-9E4F-0D8A7C51B201}";
inline constexpr const char* kClassName = "IClsKCZT";
inline constexpr const char* kClsId = "{6B1F6C1E-3A5D-4C2B-9E4F-0D8A7C51B202}";
inline constexpr const char* kInterfaceName = "_IClsKCZT";
inline constexpr const char* kIid = "{6B1F6C1E-3A5D-4C2B-9E4F-0D8A7C51B203}";
inline constexpr const char* kProgId = "Q9STRepSrv.IClsKCZT";
inline constexpr const char* kThreadingModel = "Apartment";

// Member ids of _IClsKCZT, in the interface's published order.
enum MemberId : int32_t {
  kDispIdInit = 0x60030000,
  kDispIdOpenPage = 0x60030003,
  kDispIdOpenX = 0x60030004,
  kDispIdGetPeriodDay = 0x60030005,
  kDispIdGetDefineName = 0x60030007,
  kDispIdGetFreeName = 0x60030008,
  kDispIdGetHDefineName = 0x60030009,
  kDispIdGetBDefineName = 0x6003000A,
  kDispIdGetRefData = 0x6003000B,
  kDispIdSaveFormat = 0x6003000C,
  kDispIdGetTaskAuth = 0x6003000D,
  kDispIdGetQueryFormat = 0x6003000E,
  kDispIdPrintSrv = 0x6003000F,
};

}  // namespace q9::component
