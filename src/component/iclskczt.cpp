#include "component/iclskczt.h"

#include "component/method_frame.h"
#include "condition/readers.h"
#include "ledger/detail_query.h"
#include "ledger/period_list.h"
#include "ledger/summary_query.h"
#include "platform/db/recordset.h"
#include "platform/dispatch.h"
#include "platform/error.h"

namespace q9::component {

using platform::Args;
using platform::Variant;
namespace db = platform::db;

namespace {

constexpr const char* kInitFailed = "初始化失败！";
constexpr const char* kNoMatchingData = "没有符合条件的数据！";

void SetMessage(Variant* msg, const std::string& text) {
  if (msg) *msg = Variant(text);
}

void SetMessage(std::string* msg, const std::string& text) {
  if (msg) *msg = text;
}

}  // namespace

IClsKCZT::IClsKCZT() : apartment_(CurrentApartment()) { apartment_->AddInstance(); }

IClsKCZT::~IClsKCZT() { apartment_->RemoveInstance(); }

bool IClsKCZT::Init(const Variant& oLogin, std::string* sMsg) {
  return RunWithHandler(
      [&] {
        Variant login = oLogin;  // the reference Init holds
        if (!login.has_object()) throw platform::ObjectNotSet("oLogin");
        ModuleGlobals& g = globals();
        g.gAccount = Variant(platform::CreateObject("VtERPVO.Account"));
        g.gAccountCO = Variant(platform::CreateObject("VtERPCO.AccountCO"));
        g.gLogin = Variant(platform::CreateObject("VtCOMMON.Login"));
        Args load;
        load.Ref(&login);
        platform::CallMethod(g.gLogin, "Load", load);
        platform::PutPropertyRef(g.gAccountCO, "login", g.gLogin);
        g.gAccount = platform::GetProperty(g.gLogin, "Account");
        db::Connection& conn = g.gConn();
        if (conn.State() == db::kStateOpen) conn.Close();
        conn.SetConnectionTimeout(0);
        conn.Open(platform::GetProperty(login, "VkDbName").ToText(), "", "", -1);
        conn.SetCommandTimeout(0);
        return true;
      },
      [&](const std::string&) { SetMessage(sMsg, kInitFailed); });
}

bool IClsKCZT::GetPeriodDay(Variant& rs, Variant& sMsg) {
  return RunWithHandler(
      [&] {
        ModuleGlobals& g = globals();
        auto periods = ledger::OpenPeriods(g.gLogin, g.gConn());
        rs = periods ? Variant(std::static_pointer_cast<platform::Object>(periods))
                     : Variant::Nothing();
        return true;
      },
      [&](const std::string& description) { sMsg = Variant(description); });
}

ledger::ConditionReaders IClsKCZT::Readers() {
  return {[this](const platform::xml::Document& doc, condition::ConditionState&) {
            ReadStockCondition(doc);
          },
          [this](const platform::xml::Document& doc, condition::ConditionState&) {
            ReadPositionCondition(doc);
          }};
}

bool IClsKCZT::OpenPage(const std::string& sXml, Variant& Rs1, Variant& Rs2, int16_t iSelectTz,
                        Variant* sMsg, Variant* CurPosition) {
  return RunWithHandler(
      [&] {
        ModuleGlobals& g = globals();
        Variant position = CurPosition ? *CurPosition : Variant(int16_t{0});
        ledger::DetailResult result = ledger::OpenDetail(
            sXml, Rs1, iSelectTz, position, g.gLogin, g.gAccount, g.gConn(), state_, Readers());
        if (result.outcome != ledger::DetailOutcome::kOpened) return false;
        Rs2 = Variant(std::static_pointer_cast<platform::Object>(result.detail));
        return true;
      },
      [&](const std::string& d) { SetMessage(sMsg, d); });
}

bool IClsKCZT::OpenX(const std::string& sXml, Variant& Rs1, int16_t iSelectTz, Variant* sMsg) {
  return RunWithoutHandler([&] {
    ModuleGlobals& g = globals();
    auto summary = ledger::OpenSummary(sXml, iSelectTz, g.gLogin, g.gAccount, g.gConn(), state_,
                                       Readers());
    if (!summary) {
      SetMessage(sMsg, kNoMatchingData);
      return false;
    }
    Rs1 = Variant(std::static_pointer_cast<platform::Object>(summary));
    return true;
  });
}

bool IClsKCZT::GetDefineName(Variant&, Variant* Msg) {
  return RunWithHandler([]() -> bool { throw platform::NotImplementedYet("GetDefineName"); },
                        [&](const std::string& d) { SetMessage(Msg, d); });
}

bool IClsKCZT::GetFreeName(Variant&, Variant* Msg) {
  return RunWithHandler([]() -> bool { throw platform::NotImplementedYet("GetFreeName"); },
                        [&](const std::string& d) { SetMessage(Msg, d); });
}

bool IClsKCZT::GetHDefineName(Variant&, Variant* Msg) {
  return RunWithHandler([]() -> bool { throw platform::NotImplementedYet("GetHDefineName"); },
                        [&](const std::string& d) { SetMessage(Msg, d); });
}

bool IClsKCZT::GetBDefineName(Variant&, Variant* Msg) {
  return RunWithHandler([]() -> bool { throw platform::NotImplementedYet("GetBDefineName"); },
                        [&](const std::string& d) { SetMessage(Msg, d); });
}

bool IClsKCZT::GetRefData(bool, std::string, std::string, std::string, std::string, int16_t,
                          int32_t&, int32_t&, Variant&, Variant&, Variant& errMsg) {
  return RunWithHandler([]() -> bool { throw platform::NotImplementedYet("GetRefData"); },
                        [&](const std::string& d) { errMsg = Variant(" " + d); });
}

bool IClsKCZT::SaveFormat(const std::string&, std::string& Msg) {
  return RunWithHandler([]() -> bool { throw platform::NotImplementedYet("SaveFormat"); },
                        [&](const std::string& d) { Msg = d; });
}

bool IClsKCZT::GetTaskAuth(const std::string&, int16_t, Variant*) {
  return RunWithoutHandler([]() -> bool { throw platform::NotImplementedYet("GetTaskAuth"); });
}

bool IClsKCZT::GetQueryFormat(const std::string&, Variant&, std::string* sMsg, Variant*) {
  return RunWithHandler([]() -> bool { throw platform::NotImplementedYet("GetQueryFormat"); },
                        [&](const std::string& d) { SetMessage(sMsg, d); });
}

Variant IClsKCZT::PrintSrv(Variant&, Variant&, Variant&, std::string&) {
  return RunWithoutHandler([]() -> Variant { throw platform::NotImplementedYet("PrintSrv"); });
}

void IClsKCZT::ReadStockCondition(const platform::xml::Document& doc) {
  condition::ReadStockCondition(doc, globals().gAccount, state_);
}

void IClsKCZT::ReadPositionCondition(const platform::xml::Document& doc) {
  condition::ReadPositionCondition(doc, globals().gAccount, state_);
}

}  // namespace q9::component
