-- The demo company on SQL Server: the company database's tables (created in the database the
-- connection opens) and the system database VKSystem beside it, table for table and column for
-- column the same as the embedded schema in demo/schema.cpp (demo/mssql_schema_test.cpp holds
-- the two together). Types as the ERP's databases have them: text NVARCHAR in a case-insensitive
-- Chinese collation (codes compare without regard to letter case), dates DATETIME (a date
-- compared with 'YYYY-MM-DD' is compared with its midnight), quantities and rates FLOAT, ids INT.
-- Every text column carries the same collation, so no comparison meets a collation conflict.
--
-- Batches are separated by lines holding only GO; WriteCompanyToServer (demo/server_writer.h)
-- runs them through the ODBC engine, sqlcmd runs the file as it is. The tables are DROPPED and
-- created again: run it only on a scratch database, on a server whose VKSystem is a scratch
-- database too. Needs SQL Server 2008 or later.

-- Dates in the rows come as 'YYYY-MM-DD', which DATETIME reads as year-month-day only under
-- this setting (it lasts for the session that runs the script and writes the rows).
SET DATEFORMAT ymd;
GO

IF DB_ID(N'VKSystem') IS NULL CREATE DATABASE VKSystem;
GO

IF OBJECT_ID(N'dbo.InventoryClass', N'U') IS NOT NULL DROP TABLE dbo.InventoryClass;
IF OBJECT_ID(N'dbo.ComputationGroup', N'U') IS NOT NULL DROP TABLE dbo.ComputationGroup;
IF OBJECT_ID(N'dbo.ComputationUnit', N'U') IS NOT NULL DROP TABLE dbo.ComputationUnit;
IF OBJECT_ID(N'dbo.Inventory', N'U') IS NOT NULL DROP TABLE dbo.Inventory;
IF OBJECT_ID(N'dbo.Warehouse', N'U') IS NOT NULL DROP TABLE dbo.Warehouse;
IF OBJECT_ID(N'dbo.Position', N'U') IS NOT NULL DROP TABLE dbo.Position;
IF OBJECT_ID(N'dbo.Department', N'U') IS NOT NULL DROP TABLE dbo.Department;
IF OBJECT_ID(N'dbo.Person', N'U') IS NOT NULL DROP TABLE dbo.Person;
IF OBJECT_ID(N'dbo.Vendor', N'U') IS NOT NULL DROP TABLE dbo.Vendor;
IF OBJECT_ID(N'dbo.Customer', N'U') IS NOT NULL DROP TABLE dbo.Customer;
IF OBJECT_ID(N'dbo.VouchType', N'U') IS NOT NULL DROP TABLE dbo.VouchType;
IF OBJECT_ID(N'dbo.Rd_Style', N'U') IS NOT NULL DROP TABLE dbo.Rd_Style;
IF OBJECT_ID(N'dbo.RdRecord', N'U') IS NOT NULL DROP TABLE dbo.RdRecord;
IF OBJECT_ID(N'dbo.RdRecords', N'U') IS NOT NULL DROP TABLE dbo.RdRecords;
IF OBJECT_ID(N'dbo.InvPosition', N'U') IS NOT NULL DROP TABLE dbo.InvPosition;
IF OBJECT_ID(N'dbo.AdjustPVouch', N'U') IS NOT NULL DROP TABLE dbo.AdjustPVouch;
IF OBJECT_ID(N'dbo.AdjustPVouchs', N'U') IS NOT NULL DROP TABLE dbo.AdjustPVouchs;
IF OBJECT_ID(N'dbo.CheckVouch', N'U') IS NOT NULL DROP TABLE dbo.CheckVouch;
IF OBJECT_ID(N'dbo.CheckVouchs', N'U') IS NOT NULL DROP TABLE dbo.CheckVouchs;
IF OBJECT_ID(N'dbo.UserDef', N'U') IS NOT NULL DROP TABLE dbo.UserDef;
IF OBJECT_ID(N'dbo.Rpt_GlbDEF', N'U') IS NOT NULL DROP TABLE dbo.Rpt_GlbDEF;
IF OBJECT_ID(N'dbo.Rpt_FldDef', N'U') IS NOT NULL DROP TABLE dbo.Rpt_FldDef;
GO

CREATE TABLE InventoryClass (
  cInvCCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cInvCName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  iInvCGrade INT,
  bInvCEnd BIT
);

CREATE TABLE ComputationGroup (
  cGroupCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cGroupName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  iGroupType INT
);

CREATE TABLE ComputationUnit (
  cComunitCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cComUnitName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cGroupCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  iNumber INT,
  iChangRate FLOAT,
  bMainUnit BIT
);

CREATE TABLE Inventory (
  iId INT NOT NULL UNIQUE,
  cInvCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cInvAddCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cInvName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cInvStd NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cInvCCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cComUnitCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cGroupCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cAssComUnitCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  iGroupType INT,
  bInvBatch BIT,
  iSafeNum FLOAT,
  iTopSum FLOAT,
  iLowSum FLOAT,
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
  cInvDefine1 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cInvDefine2 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cInvDefine3 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cInvDefine4 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cInvDefine5 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cInvDefine6 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cInvDefine7 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cInvDefine8 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cInvDefine9 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cInvDefine10 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cInvDefine11 FLOAT,
  cInvDefine12 FLOAT,
  cInvDefine13 FLOAT,
  cInvDefine14 FLOAT,
  cInvDefine15 DATETIME,
  cInvDefine16 DATETIME
);

CREATE TABLE Warehouse (
  cWhCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cWhName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDepCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cWhAddress NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cWhPerson NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  bWhPos BIT
);

CREATE TABLE Position (
  cPosCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cPosName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cWhCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  iPosGrade INT,
  bPosEnd BIT
);

CREATE TABLE Department (
  cDepCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cDepName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  iDepGrade INT,
  bDepEnd BIT
);

CREATE TABLE Person (
  cPersonCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cPersonName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDepCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS
);

CREATE TABLE Vendor (
  cVenCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cVenName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cVenAbbName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS
);

CREATE TABLE Customer (
  cCusCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cCusName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cCusAbbName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS
);

CREATE TABLE VouchType (
  cVouchType NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cVouchName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS
);

CREATE TABLE Rd_Style (
  cRdCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cRdName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  bRdFlag BIT,
  iRdGrade INT,
  bRdEnd BIT
);

CREATE TABLE RdRecord (
  ID INT NOT NULL PRIMARY KEY,
  bRdFlag BIT,
  cVouchType NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cBusType NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cSource NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cBusCode NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cWhCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  dDate DATETIME,
  cCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cRdCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cDepCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cPersonCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cVenCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cCusCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cHandler NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cMemo NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cMaker NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  dVeriDate DATETIME,
  bISSTQc BIT,
  bPuFirst BIT,
  cDefine1 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine2 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine3 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine4 DATETIME,
  cDefine5 INT,
  cDefine6 DATETIME,
  cDefine7 FLOAT,
  cDefine8 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine9 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine10 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine11 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine12 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine13 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine14 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine15 INT,
  cDefine16 FLOAT
);

CREATE TABLE RdRecords (
  AutoID INT NOT NULL PRIMARY KEY,
  ID INT NOT NULL,
  cInvCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  iNum FLOAT,
  iQuantity FLOAT,
  iUnitCost FLOAT,
  iPrice FLOAT,
  cBatch NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  dVDate DATETIME,
  cFree1 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree2 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree3 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree4 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree5 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree6 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree7 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree8 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree9 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree10 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cDefine22 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine23 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine24 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine25 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine26 FLOAT,
  cDefine27 FLOAT,
  cDefine28 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine29 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine30 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine31 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine32 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine33 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine34 INT,
  cDefine35 INT,
  cDefine36 DATETIME,
  cDefine37 DATETIME,
  dCheckDate DATETIME,
  cCheckCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cCheckPersonCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cRejectCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS
);

CREATE TABLE InvPosition (
  AutoId INT NOT NULL PRIMARY KEY,
  RdID INT,
  RdsID INT,
  bRdFlag BIT,
  cWhCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cPosCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cInvCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cBatch NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  iQuantity FLOAT,
  iNum FLOAT,
  cFree1 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree2 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree3 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree4 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree5 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree6 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree7 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree8 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree9 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree10 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  dVDate DATETIME,
  cMemo NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cHandler NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  dDate DATETIME,
  cSource NVARCHAR(255) COLLATE Chinese_PRC_CI_AS
);

CREATE TABLE AdjustPVouch (
  ID INT NOT NULL PRIMARY KEY,
  cVouchCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  dDate DATETIME,
  cWhCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cDepCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cPersonCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cMaker NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cHandler NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  dVeriDate DATETIME,
  cMemo NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine1 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine2 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine3 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine4 DATETIME,
  cDefine5 INT,
  cDefine6 DATETIME,
  cDefine7 FLOAT,
  cDefine8 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine9 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine10 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine11 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine12 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine13 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine14 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine15 INT,
  cDefine16 FLOAT
);

CREATE TABLE AdjustPVouchs (
  AutoID INT NOT NULL PRIMARY KEY,
  ID INT NOT NULL,
  cInvCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cBatch NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  iQuantity FLOAT,
  iNum FLOAT,
  cBPosCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cAPosCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  dVDate DATETIME,
  cFree1 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree2 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree3 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree4 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree5 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree6 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree7 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree8 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree9 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree10 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cDefine22 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine23 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine24 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine25 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine26 FLOAT,
  cDefine27 FLOAT,
  cDefine28 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine29 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine30 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine31 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine32 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine33 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine34 INT,
  cDefine35 INT,
  cDefine36 DATETIME,
  cDefine37 DATETIME
);

CREATE TABLE CheckVouch (
  ID INT NOT NULL PRIMARY KEY,
  cCVCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  dDate DATETIME,
  cWhCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cDepCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cPersonCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cMaker NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cHandler NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  dVeriDate DATETIME,
  cMemo NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine1 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine2 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine3 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine4 DATETIME,
  cDefine5 INT,
  cDefine6 DATETIME,
  cDefine7 FLOAT,
  cDefine8 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine9 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine10 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine11 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine12 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine13 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine14 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine15 INT,
  cDefine16 FLOAT
);

CREATE TABLE CheckVouchs (
  AutoID INT NOT NULL PRIMARY KEY,
  ID INT NOT NULL,
  cInvCode NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cBatch NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cPosition NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  iCVQuantity FLOAT,
  iCVCQuantity FLOAT,
  iCVNum FLOAT,
  iCVCNum FLOAT,
  dVDate DATETIME,
  cFree1 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree2 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree3 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree4 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree5 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree6 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree7 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree8 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree9 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cFree10 NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  cDefine22 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine23 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine24 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine25 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine26 FLOAT,
  cDefine27 FLOAT,
  cDefine28 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine29 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine30 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine31 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine32 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine33 NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cDefine34 INT,
  cDefine35 INT,
  cDefine36 DATETIME,
  cDefine37 DATETIME
);

CREATE TABLE UserDef (
  cID NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cClass NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cItem NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  cItemName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS
);

CREATE TABLE Rpt_GlbDEF (
  ID INT NOT NULL PRIMARY KEY,
  SystemID NVARCHAR(60) COLLATE Chinese_PRC_CI_AS,
  Name NVARCHAR(60) COLLATE Chinese_PRC_CI_AS
);

CREATE TABLE Rpt_FldDef (
  ID INT NOT NULL,
  ORDEREx INT NOT NULL,
  FldName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS NOT NULL DEFAULT N'',
  FldCaption NVARCHAR(255) COLLATE Chinese_PRC_CI_AS NOT NULL DEFAULT N'',
  FldType INT NOT NULL DEFAULT 0,
  Width NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  Visible INT,
  Alignment INT NOT NULL DEFAULT 0,
  FldFormat NVARCHAR(255) COLLATE Chinese_PRC_CI_AS NOT NULL DEFAULT N''
);
GO

CREATE INDEX IX_RdRecord_dDate ON RdRecord (dDate);
CREATE INDEX IX_RdRecords_ID ON RdRecords (ID);
CREATE INDEX IX_RdRecords_Inventory ON RdRecords (cInvCode, cBatch, ID, iQuantity, iNum);
CREATE INDEX IX_InvPosition_Key ON InvPosition (cInvCode, cWhCode, cPosCode, cBatch, dDate, bRdFlag, iQuantity, iNum);
CREATE INDEX IX_InvPosition_RdsID ON InvPosition (RdsID);
CREATE INDEX IX_AdjustPVouchs_ID ON AdjustPVouchs (ID);
CREATE INDEX IX_CheckVouchs_ID ON CheckVouchs (ID);
CREATE INDEX IX_Position_Warehouse ON Position (cWhCode);
CREATE INDEX IX_Inventory_Class ON Inventory (cInvCCode);
-- Unlike SQLite, SQL Server lets only one unit of a group go without a number here; the demo
-- gives every unit its number.
CREATE UNIQUE INDEX IX_ComputationUnit_Number ON ComputationUnit (cGroupCode, iNumber);
CREATE INDEX IX_UserDef_Class ON UserDef (cClass, cItem);
CREATE INDEX IX_Rpt_GlbDEF_Name ON Rpt_GlbDEF (SystemID, Name);
CREATE INDEX IX_Rpt_FldDef_Order ON Rpt_FldDef (ID, ORDEREx);
GO

IF OBJECT_ID(N'VKSystem.dbo.VA_Account', N'U') IS NOT NULL DROP TABLE VKSystem.dbo.VA_Account;
IF OBJECT_ID(N'VKSystem.dbo.VA_Period', N'U') IS NOT NULL DROP TABLE VKSystem.dbo.VA_Period;
IF OBJECT_ID(N'VKSystem.dbo.VA_User', N'U') IS NOT NULL DROP TABLE VKSystem.dbo.VA_User;
IF OBJECT_ID(N'VKSystem.dbo.VA_DataRight', N'U') IS NOT NULL DROP TABLE VKSystem.dbo.VA_DataRight;
IF OBJECT_ID(N'VKSystem.dbo.VA_Function', N'U') IS NOT NULL DROP TABLE VKSystem.dbo.VA_Function;
IF OBJECT_ID(N'VKSystem.dbo.VA_TaskRight', N'U') IS NOT NULL DROP TABLE VKSystem.dbo.VA_TaskRight;
IF OBJECT_ID(N'VKSystem.dbo.VA_TaskLock', N'U') IS NOT NULL DROP TABLE VKSystem.dbo.VA_TaskLock;
GO

CREATE TABLE VKSystem.dbo.VA_Account (
  cAcc_ID NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cAcc_Name NVARCHAR(255) COLLATE Chinese_PRC_CI_AS,
  dSTStartDate DATETIME
);

CREATE TABLE VKSystem.dbo.VA_Period (
  cAcc_ID NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL,
  iYear INT NOT NULL,
  iId INT NOT NULL,
  dBegin DATETIME,
  dEnd DATETIME,
  PRIMARY KEY (cAcc_ID, iYear, iId)
);

CREATE TABLE VKSystem.dbo.VA_User (
  cUser_Id NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cUser_Name NVARCHAR(255) COLLATE Chinese_PRC_CI_AS
);

CREATE TABLE VKSystem.dbo.VA_DataRight (
  cAcc_ID NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL,
  cUser_Id NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL,
  cKind NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL,
  cValue NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL
);

CREATE TABLE VKSystem.dbo.VA_Function (
  cFuncId NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL PRIMARY KEY,
  cFuncName NVARCHAR(255) COLLATE Chinese_PRC_CI_AS
);

CREATE TABLE VKSystem.dbo.VA_TaskRight (
  cAcc_ID NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL,
  cUser_Id NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL,
  cFuncId NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL,
  PRIMARY KEY (cAcc_ID, cUser_Id, cFuncId)
);

CREATE TABLE VKSystem.dbo.VA_TaskLock (
  cAcc_ID NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL,
  cFuncId NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL,
  cUser_Id NVARCHAR(60) COLLATE Chinese_PRC_CI_AS NOT NULL,
  iLockNum INT
);

CREATE INDEX IX_VA_DataRight_User ON VKSystem.dbo.VA_DataRight (cAcc_ID, cUser_Id, cKind);
GO
