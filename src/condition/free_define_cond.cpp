#include "condition/free_define_cond.h"

#include "condition/document_values.h"
#include "condition/range_builders.h"
#include "condition/sql_text.h"

namespace q9::condition {
namespace {

void AppendTerm(std::string& terms, const std::string& condition) {
  if (!condition.empty()) terms += " AND " + condition;
}

}  // namespace

std::string MakeFreeCond(const platform::xml::Document& doc, std::string& free_cols,
                         std::array<bool, 10>& shown) {
  shown.fill(false);
  free_cols.clear();
  std::string terms;
  for (int i = 1; i <= 10; ++i) {
    const std::string number = std::to_string(i);
    platform::xml::Node item = RequireElement(doc, "free" + number);
    if (RequireAttribute(item, "check") != "1") continue;
    const std::string column = "cFree" + number;
    free_cols += " " + column + " ,";
    shown[i - 1] = true;
    const std::string from = RequireAttribute(item, "value1");
    const std::string to = RequireAttribute(item, "value2");
    AppendTerm(terms, MakeLikeRangeCond(column, from, to));
  }
  if (!TrimBlanks(free_cols).empty()) free_cols.pop_back();
  return terms;
}

std::string MakeDefineCond(const platform::xml::Document& doc) {
  std::string terms;
  for (int i = 1; i <= 16; ++i) {
    const std::string number = std::to_string(i);
    platform::xml::Node item = RequireElement(doc, "invdefine" + number);
    const std::string from = RequireAttribute(item, "value1");
    const std::string to = RequireAttribute(item, "value2");
    const std::string column = "cInvDefine" + number;
    if (i <= 10) {
      AppendTerm(terms, MakeLikeRangeCond(column, from, to));
    } else if (i <= 14) {
      AppendTerm(terms, MakeNumberCompareCond(column, from, to));
    } else {
      AppendTerm(terms, MakeDateCompareCond(column, from, to));
    }
  }
  return terms;
}

}  // namespace q9::condition
