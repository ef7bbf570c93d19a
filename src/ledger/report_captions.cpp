#include "ledger/report_captions.h"

#include <map>

#include "ledger/stock_card.h"

namespace q9::ledger {

std::string SummaryCaption(const std::string& column) {
  static const std::map<std::string, std::string, std::less<>> kCaptions = {
      {"cWhCode", "仓库编码"},
      {"cWhName", "仓库"},
      {"cPosCode", "货位编码"},
      {"cPosName", "货位"},
      {"cInvCode", "存货编码"},
      {"cBatch", "批号"},
      {"cInvName", "存货名称"},
      {"cInvAddCode", "存货代码"},
      {"cInvStd", "规格型号"},
      {"cInvM_Unit", "主计量单位"},
      {"cInvA_Unit", "辅计量单位"},
      {"cInvCCode", "存货分类编码"},
      {"cInvCName", "存货分类"},
      {"iSafeNum", "安全库存"},
      {"iTopSum", "最高库存"},
      {"iLowSum", "最低库存"},
      {"iBeginQtty", "期初结存数量"},
      {"iBeginNum", "期初结存件数"},
      {kBalanceQttyColumn, kBalanceQttyCaption},
      {kBalanceNumColumn, kBalanceNumCaption},
  };
  auto it = kCaptions.find(column);
  return it == kCaptions.end() ? "" : it->second;
}

bool SummaryColumnAddsUp(const std::string& column) {
  return column == "iBeginQtty" || column == "iBeginNum";
}

std::string ReportQueryName(int16_t kind) {
  switch (kind) {
    case 0:
      return "库存台账";
    case 1:
      return "批次台账";
    case 2:
      return "货位台账";
  }
  return "";
}

std::string LedgerTaskId(int16_t kind) {
  switch (kind) {
    case 0:
      return "ST0301";
    case 1:
      return "ST0302";
    case 2:
      return "ST0303";
  }
  return "";
}

}  // namespace q9::ledger
