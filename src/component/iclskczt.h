// IClsKCZT: the report server's one class. A front end creates it, calls Init with its login
// object, then asks for the ledger (OpenX, OpenPage) and the report's support services.
//
// Methods with an error handler (Init, OpenPage, GetPeriodDay, the four caption methods,
// GetRefData, SaveFormat, GetQueryFormat) never throw: an error ends the work, the result is
// False and the message argument receives the error's description. OpenX, GetTaskAuth and
// PrintSrv have no handler: an error reaches the caller as platform::ComError.
//
// Optional by-reference arguments are pointers; nullptr means the caller left them out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "component/module_globals.h"
#include "condition/condition_state.h"
#include "ledger/condition_readers.h"
#include "platform/variant.h"

namespace q9::platform::xml {
class Document;
}

namespace q9::component {

class IClsKCZT {
 public:
  IClsKCZT();
  ~IClsKCZT();
  IClsKCZT(const IClsKCZT&) = delete;
  IClsKCZT& operator=(const IClsKCZT&) = delete;

  bool Init(const platform::Variant& oLogin, std::string* sMsg = nullptr);
  bool OpenPage(const std::string& sXml, platform::Variant& Rs1, platform::Variant& Rs2,
                int16_t iSelectTz, platform::Variant* sMsg = nullptr,
                platform::Variant* CurPosition = nullptr);
  bool OpenX(const std::string& sXml, platform::Variant& Rs1, int16_t iSelectTz,
             platform::Variant* sMsg = nullptr);
  bool GetPeriodDay(platform::Variant& rs, platform::Variant& sMsg);
  bool GetDefineName(platform::Variant& rs, platform::Variant* Msg = nullptr);
  bool GetFreeName(platform::Variant& rs, platform::Variant* Msg = nullptr);
  bool GetHDefineName(platform::Variant& rs, platform::Variant* Msg = nullptr);
  bool GetBDefineName(platform::Variant& rs, platform::Variant* Msg = nullptr);
  bool GetRefData(bool blnRefMode, std::string strTable, std::string strFilter,
                  std::string strKeyWord, std::string strOrder, int16_t intPageSize,
                  int32_t& intCurPage, int32_t& intPageCount, platform::Variant& rs,
                  platform::Variant& RsCol, platform::Variant& errMsg);
  bool SaveFormat(const std::string& sXml, std::string& Msg);
  bool GetTaskAuth(const std::string& P_AuthId, int16_t LockNum,
                   platform::Variant* Msg = nullptr);
  bool GetQueryFormat(const std::string& QueryName, platform::Variant& rsFormat,
                      std::string* sMsg = nullptr, platform::Variant* sQueryid = nullptr);
  platform::Variant PrintSrv(platform::Variant& strCommand, platform::Variant& varParam,
                             platform::Variant& varReturn, std::string& sError);

  // The condition state the last reading left (for tests and diagnostics).
  const condition::ConditionState& condition_state() const { return state_; }

 private:
  ModuleGlobals& globals() { return apartment_->globals(); }
  void ReadStockCondition(const platform::xml::Document& doc);
  void ReadPositionCondition(const platform::xml::Document& doc);
  // The two readers as the ledger flows take them; both write this instance's state.
  ledger::ConditionReaders Readers();

  std::shared_ptr<Apartment> apartment_;
  condition::ConditionState state_;
};

}  // namespace q9::component
