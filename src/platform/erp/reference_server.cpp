#include "platform/erp/reference_server.h"

#include <algorithm>
#include <vector>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "platform/error.h"

namespace q9::platform::erp {
namespace {

constexpr const char* kSource = "VkReferS.VkReferServer";

struct RefColumn {
  const char* name;
  const char* caption;
  int32_t width;
};

struct RefTable {
  const char* name;
  std::vector<RefColumn> columns;  // key first, name second
};

const std::vector<RefTable>& Tables() {
  static const std::vector<RefTable> tables = {
      {"Warehouse", {{"cWhCode", "仓库编码", 80}, {"cWhName", "仓库名称", 160}}},
      {"Inventory",
       {{"cInvCode", "存货编码", 100},
        {"cInvName", "存货名称", 180},
        {"cInvStd", "规格型号", 120}}},
      {"InventoryClass", {{"cInvCCode", "存货分类编码", 100}, {"cInvCName", "存货分类名称", 160}}},
      {"Position", {{"cPosCode", "货位编码", 80}, {"cPosName", "货位名称", 160}}},
      {"Department", {{"cDepCode", "部门编码", 80}, {"cDepName", "部门名称", 160}}},
      {"Person", {{"cPersonCode", "职员编码", 80}, {"cPersonName", "职员名称", 120}}},
      {"Vendor", {{"cVenCode", "供应商编码", 80}, {"cVenName", "供应商名称", 200}}},
      {"Customer", {{"cCusCode", "客户编码", 80}, {"cCusName", "客户名称", 200}}},
  };
  return tables;
}

ComError ReferError(const std::string& text) { return ComError(kErrInvalidCall, kSource, text); }

const RefTable& FindTable(const Variant& name_arg) {
  std::string name = name_arg.ConcatText();
  std::string served;
  for (const RefTable& t : Tables()) {
    if (SameMemberName(t.name, name)) return t;
    served += served.empty() ? "" : ", ";
    served += t.name;
  }
  throw ReferError("参照表 '" + name + "' 不存在；可用的参照表: " + served);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAsciiText(std::string s) {
  for (char& c : s) c = LowerAscii(c);
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    items.push_back(Trim(text.substr(start, comma - start)));
    if (comma == std::string::npos) return items;
    start = comma + 1;
  }
}

// "col [ASC|DESC], ..." with each name checked against the table; the key closes the list.
std::string OrderClause(const RefTable& table, const std::string& order) {
  std::string clause;
  bool key_seen = false;
  if (!Trim(order).empty()) {
    for (const std::string& item : SplitCommas(order)) {
      size_t blank = item.find_first_of(" \t");
      std::string name = item.substr(0, blank);
      std::string direction;
      if (blank != std::string::npos) {
        std::string rest = Trim(item.substr(blank));
        if (SameMemberName(rest, "ASC")) {
          direction = " ASC";
        } else if (SameMemberName(rest, "DESC")) {
          direction = " DESC";
        } else {
          throw ReferError("排序 '" + item + "' 只能是列名，或列名加 ASC 或 DESC");
        }
      }
      const RefColumn* column = nullptr;
      for (const RefColumn& c : table.columns) {
        if (SameMemberName(c.name, name)) column = &c;
      }
      if (!column) {
        throw ReferError("参照表 " + std::string(table.name) + " 没有列 '" + name +
                         "'，不能按它排序");
      }
      if (column == &table.columns.front()) key_seen = true;
      clause += clause.empty() ? "" : ", ";
      clause += column->name + direction;
    }
  }
  if (!key_seen) {
    clause += clause.empty() ? "" : ", ";
    clause += table.columns.front().name;
  }
  return clause;
}

struct Lookup {
  const RefTable* table = nullptr;
  std::string filter;
  std::string key_word;
  std::string order;
};

// The matching rows of the table, in order, read on a connection of the lookup's own.
std::shared_ptr<db::RowSet> MatchingRows(const Variant& login, const Lookup& lookup) {
  std::string sql = "SELECT ";
  for (size_t i = 0; i < lookup.table->columns.size(); ++i) {
    sql += (i ? ", " : "") + std::string(lookup.table->columns[i].name);
  }
  sql += " FROM " + std::string(lookup.table->name) + " ORDER BY " +
         OrderClause(*lookup.table, lookup.order);

  db::Connection conn;
  conn.Open(GetProperty(login, "VkDbName").ToText());
  db::StatementResult all = conn.Run(sql);
  conn.Close();

  std::vector<std::string> names;
  for (const RefColumn& c : lookup.table->columns) names.emplace_back(c.name);
  auto rows = std::make_shared<db::RowSet>(std::move(names));
  if (!all.rows) return rows;
  std::string prefix = LowerAsciiText(lookup.filter);
  std::string word = LowerAsciiText(lookup.key_word);
  for (size_t r = 0; r < all.rows->row_count(); ++r) {
    std::string key = LowerAsciiText(all.rows->Value(r, 0).ConcatText());
    std::string name = LowerAsciiText(all.rows->Value(r, 1).ConcatText());
    if (key.compare(0, prefix.size(), prefix) != 0) continue;
    if (!word.empty() && key.find(word) == std::string::npos &&
        name.find(word) == std::string::npos) {
      continue;
    }
    for (size_t c = 0; c < all.rows->column_count(); ++c) rows->Append(all.rows->Value(r, c));
  }
  return rows;
}

Variant ClientRecordset(std::shared_ptr<const db::RowSet> rows) {
  auto rs = std::make_shared<db::Recordset>();
  rs->SetCursorLocation(db::kUseClient);
  rs->OpenRows(std::move(rows), db::kLockReadOnly);
  return Variant(rs);
}

// Cuts one page out of `rows`, writing page size, current page and page count back.
std::shared_ptr<db::RowSet> Page(const db::RowSet& rows, bool paged, Variant& page_size,
                                 Variant& cur_page, Variant& page_count) {
  size_t count = rows.row_count();
  size_t size = count;
  size_t current = 1;
  size_t pages = 1;
  if (paged) {
    int32_t asked = page_size.ToI4();
    if (asked < 1) {
      asked = kDefaultReferPageSize;
      page_size = Variant(static_cast<int16_t>(asked));
    }
    size = static_cast<size_t>(asked);
    pages = std::max<size_t>(1, (count + size - 1) / size);
    int64_t wanted = cur_page.ToI4();
    current = static_cast<size_t>(std::clamp<int64_t>(wanted, 1, static_cast<int64_t>(pages)));
  }
  cur_page = Variant(static_cast<int32_t>(current));
  page_count = Variant(static_cast<int32_t>(pages));
  auto page = std::make_shared<db::RowSet>(rows.columns());
  size_t first = (current - 1) * size;
  size_t last = std::min(count, first + size);
  for (size_t r = first; r < last; ++r) {
    for (size_t c = 0; c < rows.column_count(); ++c) page->Append(rows.Value(r, c));
  }
  return page;
}

Variant TitleFormat(const RefTable& table) {
  auto rows =
      std::make_shared<db::RowSet>(std::vector<std::string>{"cFieldName", "cCaption", "iWidth"});
  for (const RefColumn& c : table.columns) {
    Variant cells[] = {Variant(c.name), Variant(c.caption), Variant(c.width)};
    for (Variant& cell : cells) rows->Append(std::move(cell));
  }
  return ClientRecordset(std::move(rows));
}

void RequireArguments(const Args& args, size_t count, const char* member) {
  if (args.size() < count) throw WrongArgumentCount(std::string(kSource) + "." + member);
}

std::string OptionalText(const Args& args, size_t i) {
  return args.IsGiven(i) ? args.Get(i).ConcatText() : std::string();
}

class ReferServer : public MemberObject {
 public:
  ReferServer() : MemberObject("VkReferServer") {
    members_
        .Method("SetRWAuth",
                [](Args& args) {
                  RequireArguments(args, 1, "SetRWAuth");
                  FindTable(args.Get(0));
                  return Variant(true);
                })
        .Method("GetData",
                [](Args& args) {
                  RequireArguments(args, 9, "GetData");
                  Lookup lookup{&FindTable(args.Get(1)), OptionalText(args, 2),
                                OptionalText(args, 3), OptionalText(args, 4)};
                  auto rows = MatchingRows(args.Get(0), lookup);
                  args[8] = ClientRecordset(Page(*rows, true, args[5], args[6], args[7]));
                  return Variant(true);
                })
        .Method("GetTitleFormat",
                [](Args& args) {
                  RequireArguments(args, 2, "GetTitleFormat");
                  return TitleFormat(FindTable(args.Get(1)));
                })
        .Method("GetRefStrRst", [](Args& args) {
          RequireArguments(args, 8, "GetRefStrRst");
          Lookup lookup{&FindTable(args.Get(1)), OptionalText(args, 3), "", ""};
          bool paged = args.IsGiven(4) ? args.Get(4).ToBool() : true;
          auto rows = MatchingRows(args.Get(0), lookup);
          args[2] = ClientRecordset(Page(*rows, paged, args[5], args[6], args[7]));
          return Variant(true);
        });
  }

};

}  // namespace

ObjectPtr CreateReferServer() { return std::make_shared<ReferServer>(); }

}  // namespace q9::platform::erp
