// The condition readers: turn a loaded condition document into the condition state of an
// IClsKCZT instance. ReadStockCondition serves the stock ledger (by inventory and by batch),
// ReadPositionCondition the position ledger.
//
// A reader reads the document element by element in a fixed order (each element the first of its
// name anywhere in the document) and writes the state member by member as it goes; it does not
// clear the state first and catches nothing. On an error the members written before the failing
// step keep their new values and the later ones keep their earlier values.
//
// Stock ledger, in order: ddate (isverdate, value1, value2), warehouse (value1), invclass and
// inventory (value1, value2), invstd, assunit, standard, batch (value1 each), includeaudit
// (value), free1..free10, invdefine1..invdefine16. Position ledger: the same up to standard, then
// batch and position (value1, value2 each), free1..free10, invdefine1..invdefine16; includeaudit
// is not read. An element of the other ledger is ignored.
//
// What the state holds afterwards:
// - blnVerDate: false exactly when isverdate is "false".
// - strDateCond / strBeforeDate: MakeDateCond on R.dVeriDate (stock ledger with audit dates), on
//   R.dDate (stock ledger otherwise) or always on IP.dDate (position ledger: its records carry
//   their own date and its statements join no document header).
// - strWhere: "(1=1)", then " AND " + each non-empty condition: warehouse list on W.cWhCode,
//   class prefix range on I.cInvCCode, inventory value range on I.cInvCode,
//   " AND I.cInvStd = '<specification>'"; stock ledger: " AND Rs.cBatch = '<batch>'", the audit
//   condition " ISNULL(R.cHandler,'') <> ''" once when audit dates or includeaudit "0" (blanks
//   trimmed); position ledger: batch prefix range on IP.cBatch, position value range on
//   IP.cPosCode; then the free-item and define terms (MakeFreeCond, MakeDefineCond).
// - strAssUnit: the assunit value without surrounding blanks; it must be a whole number
//   (optional sign, digits), else NotAWholeNumber (type mismatch, 13) before strAssUnit changes.
// - strHaving: the test of the selection standard (blanks trimmed) over the ledger's aggregate
//   expressions; empty for any text that is not one of "所有存货", "发生业务", "未发生业务",
//   "入库未出库", "出库未入库", so an earlier test never filters a new query.
// - strFreeCols, blnFreeShow: from MakeFreeCond.
//
// `account` is the late-bound account object MakeDateCond reads the stock start date from.
// Errors: a missing element or attribute raises "object not set" (91) naming it; a value that
// does not convert raises type mismatch (13); errors of the account calls pass out unchanged.
#pragma once

#include "condition/condition_state.h"
#include "platform/variant.h"
#include "platform/xml/document.h"

namespace q9::condition {

void ReadStockCondition(const platform::xml::Document& doc, const platform::Variant& account,
                        ConditionState& state);

void ReadPositionCondition(const platform::xml::Document& doc, const platform::Variant& account,
                           ConditionState& state);

}  // namespace q9::condition
