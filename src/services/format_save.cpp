#include "services/format_save.h"

#include <algorithm>
#include <limits>

#include "platform/db/recordset.h"
#include "platform/error.h"
#include "platform/variant.h"
#include "services/query_format.h"

namespace q9::services {

namespace db = platform::db;
namespace xml = platform::xml;
using platform::ComError;
using platform::Variant;

namespace {

std::string AttributeText(const xml::Node& element, const std::string& element_name,
                          const char* attribute) {
  xml::Attribute a = element.GetNamedItem(attribute);
  if (a.IsNull()) {
    throw platform::ObjectNotSet("格式文档的 " + element_name + " 元素没有 " + attribute + " 属性");
  }
  return a.Text();
}

// Keeps the number of a conversion error and says which attribute of which column failed.
ComError ConversionError(const ComError& e, const std::string& element_name, const char* attribute,
                         const std::string& text, const char* expected) {
  std::string what = "格式文档 " + element_name + " 的 " + attribute + " 值 '" + text + "' ";
  if (e.number() == platform::kErrOverflow) return platform::Overflow(what + "超出范围");
  return platform::TypeMismatch(what + expected);
}

}  // namespace

void ReadFormatXml(const xml::Document* xmlDoc, std::string& sQueryid,
                   std::vector<ColFormat>& arrCols) {
  if (!xmlDoc) return;
  if (xmlDoc->DocumentElement().IsNull()) {
    throw platform::ObjectNotSet("格式文档无法解析: " + xmlDoc->ParseError());
  }
  xml::Node queryid = xmlDoc->SelectSingleNode("//queryid");
  if (queryid.IsNull()) throw platform::ObjectNotSet("格式文档中没有 queryid 元素");
  std::string query_id = AttributeText(queryid, "queryid", "value");

  size_t count = xmlDoc->DocumentElement().ChildNodeCount();
  if (count == 0) throw platform::SubscriptOutOfRange("格式文档的根元素没有子节点");
  // The column counter is 16-bit: the last index must fit, and so must the step past it.
  constexpr size_t kMaxIndex = std::numeric_limits<int16_t>::max();
  if (count - 1 > kMaxIndex) {
    throw platform::Overflow("格式文档有 " + std::to_string(count) + " 列，最多 32767 列");
  }
  arrCols.assign(count, ColFormat{});
  for (size_t i = 0; i < count; ++i) {
    std::string name = "col" + std::to_string(i + 1);
    xml::Node col = xmlDoc->SelectSingleNode("//" + name);
    if (col.IsNull()) throw platform::ObjectNotSet("格式文档中没有 " + name + " 元素");
    std::string visible = AttributeText(col, name, "visible");
    try {
      arrCols[i].Visible = Variant(visible).ToBool() ? -1 : 0;
    } catch (const ComError& e) {
      throw ConversionError(e, name, "visible", visible, "不是 true、false 或数字");
    }
    std::string width = AttributeText(col, name, "width");
    try {
      arrCols[i].Width = Variant(width).ToI4();
    } catch (const ComError& e) {
      throw ConversionError(e, name, "width", width, "不是数字");
    }
    arrCols[i].ORDEREx = static_cast<int16_t>(i + 1);
  }
  if (count - 1 == kMaxIndex) {
    throw platform::Overflow("格式文档有 " + std::to_string(count) + " 列，最多 32767 列");
  }
  if (!query_id.empty()) sQueryid = query_id;
}

std::string FormatExistsStatement(int k, std::string_view query_id) {
  if (k >= kFirstHiddenPosition) {
    return "SELECT * FROM Rpt_FldDef WHERE ORDEREX=" + std::to_string(k) +
           " AND ID = " + std::string(query_id);
  }
  return "SELECT * FROM Rpt_FldDef WHERE ORDEREX=" + std::to_string(k) +
         "  And [ORDEREx] <  100 AND ID = " + std::string(query_id) + " ORDER BY [ORDEREx]";
}

std::string FormatDefinitionStatement(std::string_view query_id) {
  return "SELECT ID FROM Rpt_GlbDEF WHERE ID = " + std::string(query_id);
}

void RequireQueryDefinition(db::Connection& gConn, const std::string& query_id) {
  RequireQueryId(query_id);
  // Rpt_GlbDEF.ID is a 32-bit whole number: a longer id can name no definition, and the
  // database would compare (or store) it as a rounded float.
  std::string_view digits(query_id);
  digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
  constexpr std::string_view kMaxId = "2147483647";
  bool in_range =
      digits.size() < kMaxId.size() || (digits.size() == kMaxId.size() && digits <= kMaxId);
  if (in_range) {
    db::Recordset definition;
    definition.SetCursorLocation(db::kUseClient);
    definition.Open(FormatDefinitionStatement(query_id), gConn, db::kOpenForwardOnly,
                    db::kLockReadOnly, -1);
    bool found = definition.RecordCount() > 0;
    definition.Close();
    if (found) return;
  }
  throw platform::InvalidCall("查询号 " + query_id +
                              " 没有查询定义（Rpt_GlbDEF 中没有此 ID），格式未保存");
}

std::string FormatInsertStatement(std::string_view query_id, const ColFormat& col) {
  return " INSERT INTO Rpt_FldDef(ID,   Width, Visible,ORDEREx) VALUES (" + std::string(query_id) +
         ",'" + std::to_string(col.Width) + "'," + std::to_string(col.Visible) + "," +
         std::to_string(col.ORDEREx) + ")";
}

std::string FormatUpdateStatement(std::string_view query_id, const ColFormat& col, int k) {
  return " UPDATE Rpt_FldDef SET Visible=" + std::to_string(col.Visible) + ",Width='" +
         std::to_string(col.Width) + "'," + " ORDEREx = " + std::to_string(col.ORDEREx) +
         " WHERE ORDEREX =" + std::to_string(k) + " And ID = " + std::string(query_id);
}

void WriteFormatRows(db::Connection& gConn, const std::string& query_id,
                     const std::vector<ColFormat>& arrCols) {
  RequireQueryId(query_id);
  gConn.BeginTrans();
  try {
    RequireQueryDefinition(gConn, query_id);
    db::Recordset test;
    for (size_t i = 0; i < arrCols.size(); ++i) {
      int k = static_cast<int>(i) + 1;
      test.SetCursorLocation(db::kUseClient);
      test.Open(FormatExistsStatement(k, query_id), gConn, db::kOpenForwardOnly, db::kLockReadOnly,
                -1);
      std::string statement = test.RecordCount() == 0
                                  ? FormatInsertStatement(query_id, arrCols[i])
                                  : FormatUpdateStatement(query_id, arrCols[i], k);
      gConn.Execute(statement, nullptr, -1);
      if (test.State() != db::kStateClosed) test.Close();
    }
    gConn.CommitTrans();
  } catch (...) {
    try {
      gConn.RollbackTrans();
    } catch (const ComError&) {
      // The statement's own error is the one the caller needs; a failed rollback adds nothing.
    }
    throw;
  }
}

void SaveFormatDocument(std::string_view sXml, db::Connection& gConn) {
  xml::Document doc;
  doc.LoadXml(sXml);
  std::string query_id;
  std::vector<ColFormat> cols;
  ReadFormatXml(&doc, query_id, cols);
  WriteFormatRows(gConn, query_id, cols);
}

}  // namespace q9::services
