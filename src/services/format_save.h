// Saving the column format of a report grid: the format document is read into one ColFormat per
// column, then every column is written into the format rows of its query definition (Rpt_FldDef),
// updating a position that has a row below 100 and inserting one that has none.
//
// The format document, for example
//   <queryid value="12">                       the first queryid element anywhere: its value is
//     <col1 visible="true" width="80"/>        the query definition's Rpt_GlbDEF.ID (digits)
//     <col2 visible="false" width="60"/>       one element colK per position K = 1..N, each the
//   </queryid>                                 first of its name anywhere in the document
// N is the number of child nodes of the document element, whatever their kind (comments count;
// whitespace between elements does not), so a child that is not a column element makes the
// reader ask for a column element that is not there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/connection.h"
#include "platform/xml/document.h"

namespace q9::services {

// One column of the grid.
struct ColFormat {
  int32_t Width = 0;    // from the width attribute, rounded half to even
  int16_t Visible = 0;  // -1 shown, 0 hidden, from the visible attribute
  int16_t ORDEREx = 0;  // 1-based position: index in the array plus one
};

// The message of an empty format document (leading blank, full-width exclamation mark).
inline constexpr const char* kFormatIncomplete = " 信息不完整！";

// Reads the format document. Does nothing when `xmlDoc` is null. `sQueryid` receives the value of
// the first queryid element only when that text is not empty; `arrCols` is replaced by entries
// 0..N-1. Errors (ComError): no document element, no queryid element or no value attribute, a
// missing colK element or its visible/width attribute: 91; visible not a Boolean text or width
// not a number: 13 (width out of range: 6); no child nodes: 9; more than 32767 child nodes: 6.
// Each description names the element or attribute.
void ReadFormatXml(const platform::xml::Document* xmlDoc, std::string& sQueryid,
                   std::vector<ColFormat>& arrCols);

// Positions from here on are never part of a loaded format (see query_format.h), but a save
// still keeps one row per position there.
inline constexpr int kFirstHiddenPosition = 100;

// The statements of position k (1-based) of definition `query_id`, as the save builds them. The
// existence test of a position below 100 also requires [ORDEREx] below 100; from 100 on it looks
// for the position itself ("SELECT * FROM Rpt_FldDef WHERE ORDEREX=k AND ID = id"), so that a
// save updates the row it finds there instead of adding another one.
std::string FormatExistsStatement(int k, std::string_view query_id);
// "SELECT ID FROM Rpt_GlbDEF WHERE ID = " + id: the definition the format rows belong to.
std::string FormatDefinitionStatement(std::string_view query_id);
std::string FormatInsertStatement(std::string_view query_id, const ColFormat& col);
std::string FormatUpdateStatement(std::string_view query_id, const ColFormat& col, int k);

// Refuses (error 5, naming the id, before any format row is touched) an id that names no query
// definition: not digits (RequireQueryId, before any statement), beyond the 32-bit range of
// Rpt_GlbDEF.ID (before any statement), or without a Rpt_GlbDEF row. Format rows without a
// definition would be orphans no load ever finds.
void RequireQueryDefinition(platform::db::Connection& gConn, const std::string& query_id);

// Writes every column of `arrCols` into the format rows of `query_id` in one transaction on
// `gConn`: a database error part-way rolls back, leaving the format rows as they were, and
// propagates. The definition is checked first (RequireQueryDefinition), inside the transaction.
void WriteFormatRows(platform::db::Connection& gConn, const std::string& query_id,
                     const std::vector<ColFormat>& arrCols);

// The whole save: reads `sXml` (which must not be empty: the caller reports kFormatIncomplete),
// checks the query id and writes the rows. The document is read completely before the first
// statement runs. Errors propagate as ComError.
void SaveFormatDocument(std::string_view sXml, platform::db::Connection& gConn);

}  // namespace q9::services
