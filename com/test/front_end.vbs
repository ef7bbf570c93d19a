' The report front end's session, as a script: it drives Q9STRepSrv.IClsKCZT late-bound, as the
' stock module's report front end does, and writes what it got, one value a line
' (section TAB row TAB column TAB value), to out.txt in the folder given as its argument.
' That folder holds the inputs (UTF-16 texts): conn.txt, cond0.xml .. cond2.xml, query.txt,
' format.xml, detail_row.txt.
Option Explicit

Dim fso, dir, out
Set fso = CreateObject("Scripting.FileSystemObject")
dir = WScript.Arguments(0)
Set out = fso.CreateTextFile(dir & "\out.txt", True, True)

Function ReadText(name)
  Dim f
  Set f = fso.OpenTextFile(dir & "\" & name, 1, False, -1)
  ReadText = f.ReadAll
  f.Close
End Function

Function Canon(v)
  Select Case VarType(v)
    Case 0: Canon = "<empty>"
    Case 1: Canon = "<null>"
    Case 11: If v Then Canon = "true" Else Canon = "false"
    Case 2, 3, 4, 5, 6, 14, 17: Canon = Replace(CStr(v), ",", ".")
    Case 7: Canon = Year(v) & "-" & Right("0" & Month(v), 2) & "-" & Right("0" & Day(v), 2)
    Case 9: Canon = "<object>"
    Case Else: Canon = CStr(v)
  End Select
End Function

Sub Put(section, row, col, value)
  out.WriteLine section & vbTab & row & vbTab & col & vbTab & Canon(value)
End Sub

' Every record of a recordset, from the first, and its field count and record count.
Sub DumpRs(section, rs)
  Dim r, i, n
  Put section, 0, "RecordCount", rs.RecordCount
  Put section, 0, "Fields.Count", rs.Fields.Count
  If rs.RecordCount = 0 Then Exit Sub
  rs.MoveFirst
  r = 0
  n = rs.Fields.Count
  Do While Not rs.EOF
    r = r + 1
    For i = 0 To n - 1
      Put section, r, rs.Fields(i).Name, rs.Fields(i).Value
    Next
    rs.MoveNext
  Loop
End Sub

Dim k, login, ok, msg, rs1, rs2, rs, rsCol, errMsg, kind, xml, cur, pages, sQueryid, sMsg, ret
Set login = CreateObject("Q9Substitutes.CallerLogin")
login.Open ReadText("conn.txt"), "demo", "001", 2026
Set k = CreateObject("Q9STRepSrv.IClsKCZT")

' Init with its optional message left out.
ok = k.Init(login)
Put "init", 0, "result", ok

Dim detailRow
detailRow = CInt(ReadText("detail_row.txt"))
For kind = 0 To 2
  xml = ReadText("cond" & kind & ".xml")
  msg = Empty
  ok = k.OpenX(xml, rs1, kind, msg)
  Put "openx" & kind, 0, "result", ok
  DumpRs "summary" & kind, rs1
  ' The front end moves to a row: OpenPage on that row of the summary.
  ok = k.OpenPage(xml, rs1, rs2, kind, msg, detailRow)
  Put "openpage" & kind, 0, "result", ok
  DumpRs "detail" & kind, rs2
Next

msg = Empty
ok = k.GetPeriodDay(rs, msg)
Put "periods", 0, "result", ok
DumpRs "periods", rs

ok = k.GetDefineName(rs)
DumpRs "captions_define", rs
ok = k.GetFreeName(rs)
DumpRs "captions_free", rs
ok = k.GetHDefineName(rs)
DumpRs "captions_hdefine", rs
ok = k.GetBDefineName(rs)
DumpRs "captions_bdefine", rs

Dim rsFormat, query
query = ReadText("query.txt")
sMsg = ""
ok = k.GetQueryFormat(query, rsFormat, sMsg, sQueryid)
Put "format_before", 0, "result", ok
Put "format_before", 0, "queryid", sQueryid
DumpRs "format_before", rsFormat
msg = "untouched"
ok = k.SaveFormat(ReadText("format.xml"), msg)
Put "saveformat", 0, "result", ok
Put "saveformat", 0, "msg", msg
ok = k.GetQueryFormat(query, rsFormat, sMsg, sQueryid)
DumpRs "format_after", rsFormat

' Reference data, page by page.
Dim page
For page = 1 To 2
  cur = page
  pages = 0
  ok = k.GetRefData(True, "Inventory", "", "", "", 10, cur, pages, rs, rsCol, errMsg)
  Put "ref" & page, 0, "result", ok
  Put "ref" & page, 0, "intCurPage", cur
  Put "ref" & page, 0, "intPageCount", pages
  DumpRs "ref" & page, rs
  DumpRs "ref_titles" & page, rsCol
Next

' A task the user may not run: False and the refusal's text.
msg = Empty
ok = k.GetTaskAuth("ST0399", 1, msg)
Put "task", 0, "result", ok
Put "task", 0, "msg", msg

' Printing the batch summary to a CSV file.
ok = k.OpenX(ReadText("cond1.xml"), rs1, 1, msg)
Dim cmd, sError
cmd = "csv:" & dir & "\printed.csv"
sError = ""
ret = k.PrintSrv(cmd, rs1, ret, sError)
Put "print", 0, "sError", sError
Put "print", 0, "rs1.AbsolutePosition", rs1.AbsolutePosition

' An error inside OpenX reaches the caller as a COM error.
On Error Resume Next
Err.Clear
ok = k.OpenX(ReadText("bad_condition.xml"), rs1, 0, msg)
Put "openx_error", 0, "number", Err.Number
Put "openx_error", 0, "source", Err.Source
Put "openx_error", 0, "description", Err.Description
On Error GoTo 0

Put "end", 0, "done", True
out.Close
