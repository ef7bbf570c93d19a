// WriteCompany: stores the generated records into the company and system database files.
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "demo/generator.h"
#include "demo/schema.h"
#include "platform/error.h"

namespace q9::demo {
namespace {

using platform::ProviderError;

constexpr char kSource[] = "Q9Demo.WriteCompany";

class Database {
 public:
  explicit Database(const std::string& path) : path_(path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
      std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      db_ = nullptr;
      throw ProviderError(kSource, "无法创建数据库文件 " + path + ": " + message);
    }
  }
  ~Database() { sqlite3_close(db_); }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  void Exec(std::string_view sql) {
    std::string text(sql);
    char* error = nullptr;
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error ? error : sqlite3_errmsg(db_);
      sqlite3_free(error);
      throw Fail(message);
    }
  }

  platform::ComError Fail(const std::string& message) const {
    return ProviderError(kSource, "写入数据库文件 " + path_ + " 失败: " + message);
  }

  sqlite3* handle() const { return db_; }

 private:
  std::string path_;
  sqlite3* db_ = nullptr;
};

// One prepared INSERT; values are bound by position (1-based) and the row is written by Step.
// Texts are bound without copying: the records outlive the step.
class Insert {
 public:
  Insert(Database& db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
      throw db.Fail(sqlite3_errmsg(db.handle()));
    }
  }
  ~Insert() { sqlite3_finalize(stmt_); }
  Insert(const Insert&) = delete;
  Insert& operator=(const Insert&) = delete;

  void Bind(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
  }
  void Bind(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
  void Bind(int i, int v) { sqlite3_bind_int(stmt_, i, v); }
  void Bind(int i, double v) { sqlite3_bind_double(stmt_, i, v); }
  void Bind(int i, bool v) { sqlite3_bind_int(stmt_, i, v ? 1 : 0); }
  template <typename T>
  void Bind(int i, const std::optional<T>& v) {
    if (v) Bind(i, *v);  // unbound parameters are NULL
  }
  void Bind(int i, const CellValue& v) {
    if (const auto* n = std::get_if<int64_t>(&v)) Bind(i, *n);
    if (const auto* d = std::get_if<double>(&v)) Bind(i, *d);
    if (const auto* s = std::get_if<std::string>(&v)) Bind(i, *s);
  }
  // Columns first_number.. of a numbered group start at parameter `first_param`.
  void Bind(int first_param, int first_number, const NumberedValues& values) {
    for (const auto& [number, value] : values.entries()) {
      Bind(first_param + number - first_number, value);
    }
  }

  void Step() {
    if (sqlite3_step(stmt_) != SQLITE_DONE) throw db_.Fail(sqlite3_errmsg(db_.handle()));
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }

 private:
  Database& db_;
  sqlite3_stmt* stmt_ = nullptr;
};

std::string InsertSql(const std::string& table, int columns) {
  std::string sql = "INSERT INTO " + table + " VALUES (";
  for (int i = 0; i < columns; ++i) sql += i ? ",?" : "?";
  return sql + ")";
}

// Counts written rows and reports the fraction now and then.
class Progress {
 public:
  Progress(const std::function<void(double)>& callback, size_t total)
      : callback_(callback), total_(total == 0 ? 1 : total) {}
  void Row() {
    if (++done_ % 16384 == 0 && callback_) {
      callback_(static_cast<double>(done_) / static_cast<double>(total_));
    }
  }
  void Finish() {
    if (callback_) callback_(1.0);
  }

 private:
  const std::function<void(double)>& callback_;
  size_t total_;
  size_t done_ = 0;
};

// Writes every row of `rows` through `bind`, which binds one record.
template <typename Row, typename BindRow>
void WriteRows(Database& db, const std::string& table, int columns, const std::vector<Row>& rows,
               Progress& progress, BindRow bind) {
  Insert insert(db, InsertSql(table, columns));
  for (const Row& row : rows) {
    bind(insert, row);
    insert.Step();
    progress.Row();
  }
}

void WriteCompanyTables(Database& db, const DemoCompany& c, Progress& progress) {
  WriteRows(db, "InventoryClass", 4, c.inventory_classes, progress,
            [](Insert& s, const InventoryClassRow& r) {
              s.Bind(1, r.cInvCCode);
              s.Bind(2, r.cInvCName);
              s.Bind(3, r.iInvCGrade);
              s.Bind(4, r.bInvCEnd);
            });
  WriteRows(db, "ComputationGroup", 3, c.computation_groups, progress,
            [](Insert& s, const ComputationGroupRow& r) {
              s.Bind(1, r.cGroupCode);
              s.Bind(2, r.cGroupName);
              s.Bind(3, r.iGroupType);
            });
  WriteRows(db, "ComputationUnit", 6, c.computation_units, progress,
            [](Insert& s, const ComputationUnitRow& r) {
              s.Bind(1, r.cComunitCode);
              s.Bind(2, r.cComUnitName);
              s.Bind(3, r.cGroupCode);
              s.Bind(4, r.iNumber);
              s.Bind(5, r.iChangRate);
              s.Bind(6, r.bMainUnit);
            });
  WriteRows(db, "Inventory", 40, c.inventories, progress, [](Insert& s, const InventoryRow& r) {
    s.Bind(1, r.iId);
    s.Bind(2, r.cInvCode);
    s.Bind(3, r.cInvAddCode);
    s.Bind(4, r.cInvName);
    s.Bind(5, r.cInvStd);
    s.Bind(6, r.cInvCCode);
    s.Bind(7, r.cComUnitCode);
    s.Bind(8, r.cGroupCode);
    s.Bind(9, r.cAssComUnitCode);
    s.Bind(10, r.iGroupType);
    s.Bind(11, r.bInvBatch);
    s.Bind(12, r.iSafeNum);
    s.Bind(13, r.iTopSum);
    s.Bind(14, r.iLowSum);
    for (int i = 0; i < 10; ++i) s.Bind(15 + i, r.bFree[static_cast<size_t>(i)]);
    s.Bind(25, 1, r.cInvDefine);
  });
  WriteRows(db, "Warehouse", 6, c.warehouses, progress, [](Insert& s, const WarehouseRow& r) {
    s.Bind(1, r.cWhCode);
    s.Bind(2, r.cWhName);
    s.Bind(3, r.cDepCode);
    s.Bind(4, r.cWhAddress);
    s.Bind(5, r.cWhPerson);
    s.Bind(6, r.bWhPos);
  });
  WriteRows(db, "Position", 5, c.positions, progress, [](Insert& s, const PositionRow& r) {
    s.Bind(1, r.cPosCode);
    s.Bind(2, r.cPosName);
    s.Bind(3, r.cWhCode);
    s.Bind(4, r.iPosGrade);
    s.Bind(5, r.bPosEnd);
  });
  WriteRows(db, "Department", 4, c.departments, progress, [](Insert& s, const DepartmentRow& r) {
    s.Bind(1, r.cDepCode);
    s.Bind(2, r.cDepName);
    s.Bind(3, r.iDepGrade);
    s.Bind(4, r.bDepEnd);
  });
  WriteRows(db, "Person", 3, c.persons, progress, [](Insert& s, const PersonRow& r) {
    s.Bind(1, r.cPersonCode);
    s.Bind(2, r.cPersonName);
    s.Bind(3, r.cDepCode);
  });
  WriteRows(db, "Vendor", 3, c.vendors, progress, [](Insert& s, const VendorRow& r) {
    s.Bind(1, r.cVenCode);
    s.Bind(2, r.cVenName);
    s.Bind(3, r.cVenAbbName);
  });
  WriteRows(db, "Customer", 3, c.customers, progress, [](Insert& s, const CustomerRow& r) {
    s.Bind(1, r.cCusCode);
    s.Bind(2, r.cCusName);
    s.Bind(3, r.cCusAbbName);
  });
  WriteRows(db, "VouchType", 2, c.vouch_types, progress, [](Insert& s, const VouchTypeRow& r) {
    s.Bind(1, r.cVouchType);
    s.Bind(2, r.cVouchName);
  });
  WriteRows(db, "Rd_Style", 5, c.rd_styles, progress, [](Insert& s, const RdStyleRow& r) {
    s.Bind(1, r.cRdCode);
    s.Bind(2, r.cRdName);
    s.Bind(3, r.bRdFlag);
    s.Bind(4, r.iRdGrade);
    s.Bind(5, r.bRdEnd);
  });
  WriteRows(db, "RdRecord", 36, c.rd_records, progress, [](Insert& s, const RdRecordRow& r) {
    s.Bind(1, r.ID);
    s.Bind(2, r.bRdFlag);
    s.Bind(3, r.cVouchType);
    s.Bind(4, r.cBusType);
    s.Bind(5, r.cSource);
    s.Bind(6, r.cBusCode);
    s.Bind(7, r.cWhCode);
    s.Bind(8, r.dDate);
    s.Bind(9, r.cCode);
    s.Bind(10, r.cRdCode);
    s.Bind(11, r.cDepCode);
    s.Bind(12, r.cPersonCode);
    s.Bind(13, r.cVenCode);
    s.Bind(14, r.cCusCode);
    s.Bind(15, r.cHandler);
    s.Bind(16, r.cMemo);
    s.Bind(17, r.cMaker);
    s.Bind(18, r.dVeriDate);
    s.Bind(19, r.bISSTQc);
    s.Bind(20, r.bPuFirst);
    s.Bind(21, 1, r.cDefine);
  });
  WriteRows(db, "RdRecords", 39, c.rd_lines, progress, [](Insert& s, const RdRecordsRow& r) {
    s.Bind(1, r.AutoID);
    s.Bind(2, r.ID);
    s.Bind(3, r.cInvCode);
    s.Bind(4, r.iNum);
    s.Bind(5, r.iQuantity);
    s.Bind(6, r.iUnitCost);
    s.Bind(7, r.iPrice);
    s.Bind(8, r.cBatch);
    s.Bind(9, r.dVDate);
    s.Bind(10, 1, r.cFree);
    s.Bind(20, 22, r.cDefine);
    s.Bind(36, r.dCheckDate);
    s.Bind(37, r.cCheckCode);
    s.Bind(38, r.cCheckPersonCode);
    s.Bind(39, r.cRejectCode);
  });
  WriteRows(db, "InvPosition", 25, c.inv_positions, progress,
            [](Insert& s, const InvPositionRow& r) {
              s.Bind(1, r.AutoId);
              s.Bind(2, r.RdID);
              s.Bind(3, r.RdsID);
              s.Bind(4, r.bRdFlag);
              s.Bind(5, r.cWhCode);
              s.Bind(6, r.cPosCode);
              s.Bind(7, r.cInvCode);
              s.Bind(8, r.cBatch);
              s.Bind(9, r.iQuantity);
              s.Bind(10, r.iNum);
              s.Bind(11, 1, r.cFree);
              s.Bind(21, r.dVDate);
              s.Bind(22, r.cMemo);
              s.Bind(23, r.cHandler);
              s.Bind(24, r.dDate);
              s.Bind(25, r.cSource);
            });
  WriteRows(db, "AdjustPVouch", 26, c.adjust_vouchers, progress,
            [](Insert& s, const AdjustPVouchRow& r) {
              s.Bind(1, r.ID);
              s.Bind(2, r.cVouchCode);
              s.Bind(3, r.dDate);
              s.Bind(4, r.cWhCode);
              s.Bind(5, r.cDepCode);
              s.Bind(6, r.cPersonCode);
              s.Bind(7, r.cMaker);
              s.Bind(8, r.cHandler);
              s.Bind(9, r.dVeriDate);
              s.Bind(10, r.cMemo);
              s.Bind(11, 1, r.cDefine);
            });
  WriteRows(db, "AdjustPVouchs", 35, c.adjust_lines, progress,
            [](Insert& s, const AdjustPVouchsRow& r) {
              s.Bind(1, r.AutoID);
              s.Bind(2, r.ID);
              s.Bind(3, r.cInvCode);
              s.Bind(4, r.cBatch);
              s.Bind(5, r.iQuantity);
              s.Bind(6, r.iNum);
              s.Bind(7, r.cBPosCode);
              s.Bind(8, r.cAPosCode);
              s.Bind(9, r.dVDate);
              s.Bind(10, 1, r.cFree);
              s.Bind(20, 22, r.cDefine);
            });
  WriteRows(db, "CheckVouch", 26, c.check_vouchers, progress,
            [](Insert& s, const CheckVouchRow& r) {
              s.Bind(1, r.ID);
              s.Bind(2, r.cCVCode);
              s.Bind(3, r.dDate);
              s.Bind(4, r.cWhCode);
              s.Bind(5, r.cDepCode);
              s.Bind(6, r.cPersonCode);
              s.Bind(7, r.cMaker);
              s.Bind(8, r.cHandler);
              s.Bind(9, r.dVeriDate);
              s.Bind(10, r.cMemo);
              s.Bind(11, 1, r.cDefine);
            });
  WriteRows(db, "CheckVouchs", 36, c.check_lines, progress, [](Insert& s, const CheckVouchsRow& r) {
    s.Bind(1, r.AutoID);
    s.Bind(2, r.ID);
    s.Bind(3, r.cInvCode);
    s.Bind(4, r.cBatch);
    s.Bind(5, r.cPosition);
    s.Bind(6, r.iCVQuantity);
    s.Bind(7, r.iCVCQuantity);
    s.Bind(8, r.iCVNum);
    s.Bind(9, r.iCVCNum);
    s.Bind(10, r.dVDate);
    s.Bind(11, 1, r.cFree);
    s.Bind(21, 22, r.cDefine);
  });
  WriteRows(db, "UserDef", 4, c.user_defs, progress, [](Insert& s, const UserDefRow& r) {
    s.Bind(1, r.cID);
    s.Bind(2, r.cClass);
    s.Bind(3, r.cItem);
    s.Bind(4, r.cItemName);
  });
  WriteRows(db, "Rpt_GlbDEF", 3, c.report_definitions, progress,
            [](Insert& s, const RptGlbDefRow& r) {
              s.Bind(1, r.ID);
              s.Bind(2, r.SystemID);
              s.Bind(3, r.Name);
            });
  WriteRows(db, "Rpt_FldDef", 9, c.report_fields, progress, [](Insert& s, const RptFldDefRow& r) {
    s.Bind(1, r.ID);
    s.Bind(2, r.ORDEREx);
    s.Bind(3, r.FldName);
    s.Bind(4, r.FldCaption);
    s.Bind(5, r.FldType);
    s.Bind(6, r.Width);
    s.Bind(7, r.Visible);
    s.Bind(8, r.Alignment);
    s.Bind(9, r.FldFormat);
  });
}

void WriteSystemTables(Database& db, const DemoCompany& c, Progress& progress) {
  WriteRows(db, "VA_Account", 3, c.accounts, progress, [](Insert& s, const AccountRow& r) {
    s.Bind(1, r.cAcc_ID);
    s.Bind(2, r.cAcc_Name);
    s.Bind(3, r.dSTStartDate);
  });
  WriteRows(db, "VA_Period", 5, c.periods, progress, [](Insert& s, const PeriodRow& r) {
    s.Bind(1, r.cAcc_ID);
    s.Bind(2, r.iYear);
    s.Bind(3, r.iId);
    s.Bind(4, r.dBegin);
    s.Bind(5, r.dEnd);
  });
  WriteRows(db, "VA_User", 2, c.users, progress, [](Insert& s, const UserRow& r) {
    s.Bind(1, r.cUser_Id);
    s.Bind(2, r.cUser_Name);
  });
  WriteRows(db, "VA_DataRight", 4, c.data_rights, progress, [](Insert& s, const DataRightRow& r) {
    s.Bind(1, r.cAcc_ID);
    s.Bind(2, r.cUser_Id);
    s.Bind(3, r.cKind);
    s.Bind(4, r.cValue);
  });
  WriteRows(db, "VA_Function", 2, c.functions, progress, [](Insert& s, const FunctionRow& r) {
    s.Bind(1, r.cFuncId);
    s.Bind(2, r.cFuncName);
  });
  WriteRows(db, "VA_TaskRight", 3, c.task_rights, progress, [](Insert& s, const TaskRightRow& r) {
    s.Bind(1, r.cAcc_ID);
    s.Bind(2, r.cUser_Id);
    s.Bind(3, r.cFuncId);
  });
  WriteRows(db, "VA_TaskLock", 4, c.task_locks, progress, [](Insert& s, const TaskLockRow& r) {
    s.Bind(1, r.cAcc_ID);
    s.Bind(2, r.cFuncId);
    s.Bind(3, r.cUser_Id);
    s.Bind(4, r.iLockNum);
  });
}

size_t RowCount(const DemoCompany& c) {
  return c.inventory_classes.size() + c.computation_groups.size() + c.computation_units.size() +
         c.inventories.size() + c.warehouses.size() + c.positions.size() + c.departments.size() +
         c.persons.size() + c.vendors.size() + c.customers.size() + c.vouch_types.size() +
         c.rd_styles.size() + c.rd_records.size() + c.rd_lines.size() + c.inv_positions.size() +
         c.adjust_vouchers.size() + c.adjust_lines.size() + c.check_vouchers.size() +
         c.check_lines.size() + c.user_defs.size() + c.report_definitions.size() +
         c.report_fields.size() + c.accounts.size() + c.periods.size() + c.users.size() +
         c.data_rights.size() + c.functions.size() + c.task_rights.size() + c.task_locks.size();
}

}  // namespace

void WriteCompany(const DemoCompany& company, const std::string& company_db_path,
                  const std::string& system_db_path,
                  const std::function<void(double fraction)>& progress) {
  Progress counter(progress, RowCount(company));
  {
    Database db(company_db_path);
    // A fresh file that is rebuilt whole on failure needs no journal.
    db.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    db.Exec(kCompanySchema);
    db.Exec("BEGIN");
    WriteCompanyTables(db, company, counter);
    db.Exec(kCompanyIndexes);
    // The planner's statistics: without them it drives the grouped ledger reads from the lines
    // in table order and sorts them, instead of walking inventories and their covering index.
    db.Exec("ANALYZE");
    db.Exec("COMMIT");
  }
  {
    Database db(system_db_path);
    db.Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    db.Exec(kSystemSchema);
    db.Exec("BEGIN");
    WriteSystemTables(db, company, counter);
    db.Exec("COMMIT");
  }
  counter.Finish();
}

}  // namespace q9::demo
