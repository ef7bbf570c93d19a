#include "component/iclskczt.h"

#include <optional>

#include "component/method_frame.h"
#include "condition/readers.h"
#include "ledger/detail_query.h"
#include "ledger/period_list.h"
#include "ledger/summary_query.h"
#include "platform/db/recordset.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "services/captions.h"
#include "services/format_save.h"
#include "services/print_bridge.h"
#include "services/query_format.h"
#include "services/reference_data.h"
#include "services/task_rights.h"

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

// The frame the four caption methods share.
bool Captions(services::CaptionKind kind, ModuleGlobals& g, Variant& rs, Variant* Msg) {
  return RunWithHandler(
      [&] {
        rs = Variant(services::OpenCaptions(kind, g.gConn()));
        return true;
      },
      [&](const std::string& d) { SetMessage(Msg, d); });
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

bool IClsKCZT::GetDefineName(Variant& rs, Variant* Msg) {
  return Captions(services::CaptionKind::kInventoryDefine, globals(), rs, Msg);
}

bool IClsKCZT::GetFreeName(Variant& rs, Variant* Msg) {
  return Captions(services::CaptionKind::kInventoryFree, globals(), rs, Msg);
}

bool IClsKCZT::GetHDefineName(Variant& rs, Variant* Msg) {
  return Captions(services::CaptionKind::kHeaderDefine, globals(), rs, Msg);
}

bool IClsKCZT::GetBDefineName(Variant& rs, Variant* Msg) {
  return Captions(services::CaptionKind::kBodyDefine, globals(), rs, Msg);
}

bool IClsKCZT::GetRefData(bool blnRefMode, std::string strTable, std::string strFilter,
                          std::string strKeyWord, std::string strOrder, int16_t intPageSize,
                          int32_t& intCurPage, int32_t& intPageCount, Variant& rs, Variant& RsCol,
                          Variant& errMsg) {
  return RunWithHandler(
      [&] {
        services::ReferenceRequest request;
        request.blnRefMode = blnRefMode;
        request.strTable = std::move(strTable);
        request.strFilter = std::move(strFilter);
        request.strKeyWord = std::move(strKeyWord);
        request.strOrder = std::move(strOrder);
        request.intPageSize = intPageSize;
        return services::FetchReferenceData(globals().gLogin, std::move(request), intCurPage,
                                            intPageCount, rs, RsCol);
      },
      [&](const std::string& d) { errMsg = Variant(" " + d); });
}

bool IClsKCZT::SaveFormat(const std::string& sXml, std::string& Msg) {
  return RunWithHandler(
      [&] {
        if (sXml.empty()) {
          Msg = services::kFormatIncomplete;
          return false;
        }
        services::SaveFormatDocument(sXml, globals().gConn());
        return true;
      },
      [&](const std::string& d) { Msg = d; });
}

bool IClsKCZT::GetTaskAuth(const std::string& P_AuthId, int16_t LockNum, Variant* Msg) {
  return RunWithoutHandler([&] {
    std::optional<std::string> refusal =
        services::AskTaskRight(globals().gLogin, P_AuthId, LockNum);
    if (!refusal) return true;
    SetMessage(Msg, *refusal);
    return false;
  });
}

bool IClsKCZT::GetQueryFormat(const std::string& QueryName, Variant& rsFormat, std::string* sMsg,
                              Variant* sQueryid) {
  return RunWithHandler(
      [&] {
        Variant omitted_id;
        rsFormat = Variant(services::OpenQueryFormat(QueryName, globals().gConn(),
                                                     sQueryid ? *sQueryid : omitted_id));
        return true;
      },
      [&](const std::string& d) { SetMessage(sMsg, d); });
}

Variant IClsKCZT::PrintSrv(Variant& strCommand, Variant& varParam, Variant& varReturn,
                           std::string& sError) {
  return RunWithoutHandler([&] {
    services::ForwardPrintCommand(globals().gLogin, strCommand, varParam, varReturn, sError);
    return Variant();
  });
}

void IClsKCZT::ReadStockCondition(const platform::xml::Document& doc) {
  condition::ReadStockCondition(doc, globals().gAccount, state_);
}

void IClsKCZT::ReadPositionCondition(const platform::xml::Document& doc) {
  condition::ReadPositionCondition(doc, globals().gAccount, state_);
}

}  // namespace q9::component
