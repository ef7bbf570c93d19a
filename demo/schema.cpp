#include "demo/schema.h"

namespace q9::demo {

const std::string_view kCompanySchema = R"sql(
CREATE TABLE InventoryClass (
  cInvCCode TEXT COLLATE NOCASE PRIMARY KEY,
  cInvCName TEXT,
  iInvCGrade INTEGER,
  bInvCEnd BIT
);

CREATE TABLE ComputationGroup (
  cGroupCode TEXT COLLATE NOCASE PRIMARY KEY,
  cGroupName TEXT,
  iGroupType INTEGER
);

CREATE TABLE ComputationUnit (
  cComunitCode TEXT COLLATE NOCASE PRIMARY KEY,
  cComUnitName TEXT,
  cGroupCode TEXT COLLATE NOCASE,
  iNumber INTEGER,
  iChangRate REAL,
  bMainUnit BIT
);

CREATE TABLE Inventory (
  iId INTEGER NOT NULL UNIQUE,
  cInvCode TEXT COLLATE NOCASE PRIMARY KEY,
  cInvAddCode TEXT COLLATE NOCASE,
  cInvName TEXT,
  cInvStd TEXT,
  cInvCCode TEXT COLLATE NOCASE,
  cComUnitCode TEXT COLLATE NOCASE,
  cGroupCode TEXT COLLATE NOCASE,
  cAssComUnitCode TEXT COLLATE NOCASE,
  iGroupType INTEGER,
  bInvBatch BIT,
  iSafeNum REAL,
  iTopSum REAL,
  iLowSum REAL,
  bFree1 BIT,
  bFree2 BIT,
  bFree3 BIT,
  bFree4 BIT,
  bFree5 BIT,
  bFree6 BIT,
  bFree7 BIT,
  bFree8 BIT,
  bFree9 BIT,
  bFree10 BIT,
  cInvDefine1 TEXT,
  cInvDefine2 TEXT,
  cInvDefine3 TEXT,
  cInvDefine4 TEXT,
  cInvDefine5 TEXT,
  cInvDefine6 TEXT,
  cInvDefine7 TEXT,
  cInvDefine8 TEXT,
  cInvDefine9 TEXT,
  cInvDefine10 TEXT,
  cInvDefine11 REAL,
  cInvDefine12 REAL,
  cInvDefine13 REAL,
  cInvDefine14 REAL,
  cInvDefine15 DATE,
  cInvDefine16 DATE
);

CREATE TABLE Warehouse (
  cWhCode TEXT COLLATE NOCASE PRIMARY KEY,
  cWhName TEXT,
  cDepCode TEXT COLLATE NOCASE,
  cWhAddress TEXT,
  cWhPerson TEXT,
  bWhPos BIT
);

CREATE TABLE Position (
  cPosCode TEXT COLLATE NOCASE PRIMARY KEY,
  cPosName TEXT,
  cWhCode TEXT COLLATE NOCASE,
  iPosGrade INTEGER,
  bPosEnd BIT
);

CREATE TABLE Department (
  cDepCode TEXT COLLATE NOCASE PRIMARY KEY,
  cDepName TEXT,
  iDepGrade INTEGER,
  bDepEnd BIT
);

CREATE TABLE Person (
  cPersonCode TEXT COLLATE NOCASE PRIMARY KEY,
  cPersonName TEXT,
  cDepCode TEXT COLLATE NOCASE
);

CREATE TABLE Vendor (
  cVenCode TEXT COLLATE NOCASE PRIMARY KEY,
  cVenName TEXT,
  cVenAbbName TEXT
);

CREATE TABLE Customer (
  cCusCode TEXT COLLATE NOCASE PRIMARY KEY,
  cCusName TEXT,
  cCusAbbName TEXT
);

CREATE TABLE VouchType (
  cVouchType TEXT COLLATE NOCASE PRIMARY KEY,
  cVouchName TEXT
);

CREATE TABLE Rd_Style (
  cRdCode TEXT COLLATE NOCASE PRIMARY KEY,
  cRdName TEXT,
  bRdFlag BIT,
  iRdGrade INTEGER,
  bRdEnd BIT
);

CREATE TABLE RdRecord (
  ID INTEGER PRIMARY KEY,
  bRdFlag BIT,
  cVouchType TEXT COLLATE NOCASE,
  cBusType TEXT,
  cSource TEXT,
  cBusCode TEXT,
  cWhCode TEXT COLLATE NOCASE,
  dDate DATE,
  cCode TEXT COLLATE NOCASE,
  cRdCode TEXT COLLATE NOCASE,
  cDepCode TEXT COLLATE NOCASE,
  cPersonCode TEXT COLLATE NOCASE,
  cVenCode TEXT COLLATE NOCASE,
  cCusCode TEXT COLLATE NOCASE,
  cHandler TEXT COLLATE NOCASE,
  cMemo TEXT,
  cMaker TEXT COLLATE NOCASE,
  dVeriDate DATE,
  bISSTQc BIT,
  bPuFirst BIT,
  cDefine1 TEXT,
  cDefine2 TEXT,
  cDefine3 TEXT,
  cDefine4 DATE,
  cDefine5 INTEGER,
  cDefine6 DATE,
  cDefine7 REAL,
  cDefine8 TEXT,
  cDefine9 TEXT,
  cDefine10 TEXT,
  cDefine11 TEXT,
  cDefine12 TEXT,
  cDefine13 TEXT,
  cDefine14 TEXT,
  cDefine15 INTEGER,
  cDefine16 REAL
);

CREATE TABLE RdRecords (
  AutoID INTEGER PRIMARY KEY,
  ID INTEGER NOT NULL,
  cInvCode TEXT COLLATE NOCASE,
  iNum REAL,
  iQuantity REAL,
  iUnitCost REAL,
  iPrice REAL,
  cBatch TEXT COLLATE NOCASE,
  dVDate DATE,
  cFree1 TEXT COLLATE NOCASE,
  cFree2 TEXT COLLATE NOCASE,
  cFree3 TEXT COLLATE NOCASE,
  cFree4 TEXT COLLATE NOCASE,
  cFree5 TEXT COLLATE NOCASE,
  cFree6 TEXT COLLATE NOCASE,
  cFree7 TEXT COLLATE NOCASE,
  cFree8 TEXT COLLATE NOCASE,
  cFree9 TEXT COLLATE NOCASE,
  cFree10 TEXT COLLATE NOCASE,
  cDefine22 TEXT,
  cDefine23 TEXT,
  cDefine24 TEXT,
  cDefine25 TEXT,
  cDefine26 REAL,
  cDefine27 REAL,
  cDefine28 TEXT,
  cDefine29 TEXT,
  cDefine30 TEXT,
  cDefine31 TEXT,
  cDefine32 TEXT,
  cDefine33 TEXT,
  cDefine34 INTEGER,
  cDefine35 INTEGER,
  cDefine36 DATE,
  cDefine37 DATE,
  dCheckDate DATE,
  cCheckCode TEXT COLLATE NOCASE,
  cCheckPersonCode TEXT COLLATE NOCASE,
  cRejectCode TEXT COLLATE NOCASE
);

CREATE TABLE InvPosition (
  AutoId INTEGER PRIMARY KEY,
  RdID INTEGER,
  RdsID INTEGER,
  bRdFlag BIT,
  cWhCode TEXT COLLATE NOCASE,
  cPosCode TEXT COLLATE NOCASE,
  cInvCode TEXT COLLATE NOCASE,
  cBatch TEXT COLLATE NOCASE,
  iQuantity REAL,
  iNum REAL,
  cFree1 TEXT COLLATE NOCASE,
  cFree2 TEXT COLLATE NOCASE,
  cFree3 TEXT COLLATE NOCASE,
  cFree4 TEXT COLLATE NOCASE,
  cFree5 TEXT COLLATE NOCASE,
  cFree6 TEXT COLLATE NOCASE,
  cFree7 TEXT COLLATE NOCASE,
  cFree8 TEXT COLLATE NOCASE,
  cFree9 TEXT COLLATE NOCASE,
  cFree10 TEXT COLLATE NOCASE,
  dVDate DATE,
  cMemo TEXT,
  cHandler TEXT COLLATE NOCASE,
  dDate DATE,
  cSource TEXT
);

CREATE TABLE AdjustPVouch (
  ID INTEGER PRIMARY KEY,
  cVouchCode TEXT COLLATE NOCASE,
  dDate DATE,
  cWhCode TEXT COLLATE NOCASE,
  cDepCode TEXT COLLATE NOCASE,
  cPersonCode TEXT COLLATE NOCASE,
  cMaker TEXT COLLATE NOCASE,
  cHandler TEXT COLLATE NOCASE,
  dVeriDate DATE,
  cMemo TEXT,
  cDefine1 TEXT,
  cDefine2 TEXT,
  cDefine3 TEXT,
  cDefine4 DATE,
  cDefine5 INTEGER,
  cDefine6 DATE,
  cDefine7 REAL,
  cDefine8 TEXT,
  cDefine9 TEXT,
  cDefine10 TEXT,
  cDefine11 TEXT,
  cDefine12 TEXT,
  cDefine13 TEXT,
  cDefine14 TEXT,
  cDefine15 INTEGER,
  cDefine16 REAL
);

CREATE TABLE AdjustPVouchs (
  AutoID INTEGER PRIMARY KEY,
  ID INTEGER NOT NULL,
  cInvCode TEXT COLLATE NOCASE,
  cBatch TEXT COLLATE NOCASE,
  iQuantity REAL,
  iNum REAL,
  cBPosCode TEXT COLLATE NOCASE,
  cAPosCode TEXT COLLATE NOCASE,
  dVDate DATE,
  cFree1 TEXT COLLATE NOCASE,
  cFree2 TEXT COLLATE NOCASE,
  cFree3 TEXT COLLATE NOCASE,
  cFree4 TEXT COLLATE NOCASE,
  cFree5 TEXT COLLATE NOCASE,
  cFree6 TEXT COLLATE NOCASE,
  cFree7 TEXT COLLATE NOCASE,
  cFree8 TEXT COLLATE NOCASE,
  cFree9 TEXT COLLATE NOCASE,
  cFree10 TEXT COLLATE NOCASE,
  cDefine22 TEXT,
  cDefine23 TEXT,
  cDefine24 TEXT,
  cDefine25 TEXT,
  cDefine26 REAL,
  cDefine27 REAL,
  cDefine28 TEXT,
  cDefine29 TEXT,
  cDefine30 TEXT,
  cDefine31 TEXT,
  cDefine32 TEXT,
  cDefine33 TEXT,
  cDefine34 INTEGER,
  cDefine35 INTEGER,
  cDefine36 DATE,
  cDefine37 DATE
);

CREATE TABLE CheckVouch (
  ID INTEGER PRIMARY KEY,
  cCVCode TEXT COLLATE NOCASE,
  dDate DATE,
  cWhCode TEXT COLLATE NOCASE,
  cDepCode TEXT COLLATE NOCASE,
  cPersonCode TEXT COLLATE NOCASE,
  cMaker TEXT COLLATE NOCASE,
  cHandler TEXT COLLATE NOCASE,
  dVeriDate DATE,
  cMemo TEXT,
  cDefine1 TEXT,
  cDefine2 TEXT,
  cDefine3 TEXT,
  cDefine4 DATE,
  cDefine5 INTEGER,
  cDefine6 DATE,
  cDefine7 REAL,
  cDefine8 TEXT,
  cDefine9 TEXT,
  cDefine10 TEXT,
  cDefine11 TEXT,
  cDefine12 TEXT,
  cDefine13 TEXT,
  cDefine14 TEXT,
  cDefine15 INTEGER,
  cDefine16 REAL
);

CREATE TABLE CheckVouchs (
  AutoID INTEGER PRIMARY KEY,
  ID INTEGER NOT NULL,
  cInvCode TEXT COLLATE NOCASE,
  cBatch TEXT COLLATE NOCASE,
  cPosition TEXT COLLATE NOCASE,
  iCVQuantity REAL,
  iCVCQuantity REAL,
  iCVNum REAL,
  iCVCNum REAL,
  dVDate DATE,
  cFree1 TEXT COLLATE NOCASE,
  cFree2 TEXT COLLATE NOCASE,
  cFree3 TEXT COLLATE NOCASE,
  cFree4 TEXT COLLATE NOCASE,
  cFree5 TEXT COLLATE NOCASE,
  cFree6 TEXT COLLATE NOCASE,
  cFree7 TEXT COLLATE NOCASE,
  cFree8 TEXT COLLATE NOCASE,
  cFree9 TEXT COLLATE NOCASE,
  cFree10 TEXT COLLATE NOCASE,
  cDefine22 TEXT,
  cDefine23 TEXT,
  cDefine24 TEXT,
  cDefine25 TEXT,
  cDefine26 REAL,
  cDefine27 REAL,
  cDefine28 TEXT,
  cDefine29 TEXT,
  cDefine30 TEXT,
  cDefine31 TEXT,
  cDefine32 TEXT,
  cDefine33 TEXT,
  cDefine34 INTEGER,
  cDefine35 INTEGER,
  cDefine36 DATE,
  cDefine37 DATE
);

CREATE TABLE UserDef (
  cID TEXT COLLATE NOCASE PRIMARY KEY,
  cClass TEXT,
  cItem TEXT,
  cItemName TEXT
);

CREATE TABLE Rpt_GlbDEF (
  ID INTEGER PRIMARY KEY,
  SystemID TEXT COLLATE NOCASE,
  Name TEXT COLLATE NOCASE
);

CREATE TABLE Rpt_FldDef (
  ID INTEGER NOT NULL,
  ORDEREx INTEGER NOT NULL,
  FldName TEXT NOT NULL DEFAULT '',
  FldCaption TEXT NOT NULL DEFAULT '',
  FldType INTEGER NOT NULL DEFAULT 0,
  Width TEXT,
  Visible INTEGER,
  Alignment INTEGER NOT NULL DEFAULT 0,
  FldFormat TEXT NOT NULL DEFAULT ''
);
)sql";

const std::string_view kCompanyIndexes = R"sql(
CREATE INDEX IX_RdRecord_dDate ON RdRecord (dDate);
CREATE INDEX IX_RdRecords_ID ON RdRecords (ID);
CREATE INDEX IX_RdRecords_Inventory ON RdRecords (cInvCode, cBatch, ID, iQuantity, iNum);
CREATE INDEX IX_InvPosition_Key ON InvPosition (cInvCode, cWhCode, cPosCode, cBatch, dDate, bRdFlag,
                                          iQuantity, iNum);
CREATE INDEX IX_InvPosition_RdsID ON InvPosition (RdsID);
CREATE INDEX IX_AdjustPVouchs_ID ON AdjustPVouchs (ID);
CREATE INDEX IX_CheckVouchs_ID ON CheckVouchs (ID);
CREATE INDEX IX_Position_Warehouse ON Position (cWhCode);
CREATE INDEX IX_Inventory_Class ON Inventory (cInvCCode);
CREATE UNIQUE INDEX IX_ComputationUnit_Number ON ComputationUnit (cGroupCode, iNumber);
CREATE INDEX IX_UserDef_Class ON UserDef (cClass, cItem);
CREATE INDEX IX_Rpt_GlbDEF_Name ON Rpt_GlbDEF (SystemID, Name);
CREATE INDEX IX_Rpt_FldDef_Order ON Rpt_FldDef (ID, ORDEREx);
)sql";

const std::string_view kSystemSchema = R"sql(
CREATE TABLE VA_Account (
  cAcc_ID TEXT COLLATE NOCASE PRIMARY KEY,
  cAcc_Name TEXT,
  dSTStartDate DATE
);
CREATE TABLE VA_Period (
  cAcc_ID TEXT COLLATE NOCASE NOT NULL,
  iYear INTEGER NOT NULL,
  iId INTEGER NOT NULL,
  dBegin DATE,
  dEnd DATE,
  PRIMARY KEY (cAcc_ID, iYear, iId)
);
CREATE TABLE VA_User (
  cUser_Id TEXT COLLATE NOCASE PRIMARY KEY,
  cUser_Name TEXT
);
CREATE TABLE VA_DataRight (
  cAcc_ID TEXT COLLATE NOCASE NOT NULL,
  cUser_Id TEXT COLLATE NOCASE NOT NULL,
  cKind TEXT COLLATE NOCASE NOT NULL,
  cValue TEXT COLLATE NOCASE NOT NULL
);
CREATE INDEX IX_VA_DataRight_User ON VA_DataRight (cAcc_ID, cUser_Id, cKind);
CREATE TABLE VA_Function (
  cFuncId TEXT COLLATE NOCASE PRIMARY KEY,
  cFuncName TEXT
);
CREATE TABLE VA_TaskRight (
  cAcc_ID TEXT COLLATE NOCASE NOT NULL,
  cUser_Id TEXT COLLATE NOCASE NOT NULL,
  cFuncId TEXT COLLATE NOCASE NOT NULL,
  PRIMARY KEY (cAcc_ID, cUser_Id, cFuncId)
);
CREATE TABLE VA_TaskLock (
  cAcc_ID TEXT COLLATE NOCASE NOT NULL,
  cFuncId TEXT COLLATE NOCASE NOT NULL,
  cUser_Id TEXT COLLATE NOCASE NOT NULL,
  iLockNum INTEGER
);
)sql";

}  // namespace q9::demo
