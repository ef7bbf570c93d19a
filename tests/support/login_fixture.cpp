#include "support/login_fixture.h"

#include <cstdio>

namespace q9::testing {

LoginFixture::LoginFixture() : company_(dir_.File("company.db")), system_(dir_.File("system.db")) {
  ExecSqlite(company_, "CREATE TABLE Warehouse(cWhCode TEXT COLLATE NOCASE, cWhName TEXT);");
  std::string sql = R"(
    CREATE TABLE VA_User(cUser_Id TEXT COLLATE NOCASE PRIMARY KEY, cUser_Name TEXT);
    CREATE TABLE VA_Account(cAcc_ID TEXT COLLATE NOCASE PRIMARY KEY, cAcc_Name TEXT,
                            dSTStartDate DATE);
    CREATE TABLE VA_Period(cAcc_ID TEXT COLLATE NOCASE, iYear INTEGER, iId INTEGER,
                           dBegin DATE, dEnd DATE);
    CREATE TABLE VA_DataRight(cAcc_ID TEXT COLLATE NOCASE, cUser_Id TEXT COLLATE NOCASE,
                              cKind TEXT COLLATE NOCASE, cValue TEXT);
    CREATE TABLE VA_Function(cFuncId TEXT COLLATE NOCASE PRIMARY KEY, cFuncName TEXT);
    CREATE TABLE VA_TaskRight(cAcc_ID TEXT COLLATE NOCASE, cUser_Id TEXT COLLATE NOCASE,
                              cFuncId TEXT COLLATE NOCASE);
    CREATE TABLE VA_TaskLock(cAcc_ID TEXT COLLATE NOCASE, cFuncId TEXT COLLATE NOCASE,
                             cUser_Id TEXT COLLATE NOCASE, iLockNum INTEGER);
    INSERT INTO VA_User VALUES ('demo', '演示'), ('clerk', '库管员');
    INSERT INTO VA_Account VALUES ('001', '演示公司', '2025-03-15');
    INSERT INTO VA_DataRight VALUES ('001', 'clerk', 'WareHouse', '01'),
                                    ('001', 'clerk', 'WareHouse', 'O''Neil'),
                                    ('001', 'clerk', 'InvenTory', '7'),
                                    ('001', 'clerk', 'InvenTory', '12'),
                                    ('001', 'clerk', 'user', '张三');
    INSERT INTO VA_Function VALUES ('ST01', '库存台账'), ('ST02', '格式设置');
    INSERT INTO VA_TaskRight VALUES ('001', 'demo', 'ST01'), ('001', 'demo', 'ST02'),
                                    ('001', 'clerk', 'ST01');
    INSERT INTO VA_TaskLock VALUES ('001', 'ST02', 'clerk', 1);
  )";
  char buf[160];
  for (int m = 1; m <= 12; ++m) {
    int next_y = m == 12 ? 2026 : 2025, next_m = m == 12 ? 1 : m + 1;
    std::snprintf(buf, sizeof buf,
                  "INSERT INTO VA_Period VALUES ('001', 2025, %d, '2025-%02d-01', "
                  "date('%04d-%02d-01', '-1 day'));\n",
                  m, m, next_y, next_m);
    sql += buf;
    int prev_y = m == 1 ? 2025 : 2026, prev_m = m == 1 ? 12 : m - 1;
    std::snprintf(buf, sizeof buf,
                  "INSERT INTO VA_Period VALUES ('001', 2026, %d, '%04d-%02d-26', "
                  "'2026-%02d-25');\n",
                  m, prev_y, prev_m, m);
    sql += buf;
  }
  ExecSqlite(system_, sql);
}

std::string LoginFixture::ConnectionString() const {
  return "Provider=SQLite;Data Source=" + company_ + ";System Database=" + system_;
}

}  // namespace q9::testing
