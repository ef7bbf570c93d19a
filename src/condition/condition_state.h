// The condition state: what a condition reading leaves for the ledger statements.
#pragma once
#include <array>
#include <string>
namespace q9::condition {
struct ConditionState {
  std::string strWhere;
  std::string strHaving;
  std::string strAssUnit;
  std::string strFreeCols;
  std::string strBeforeDate;
  std::string strDateCond;
  bool blnVerDate = false;
  std::array<bool, 10> blnFreeShow{};
};
}  // namespace q9::condition
