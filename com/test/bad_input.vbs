' Bad input, faults and lifetimes through COM: wrong argument types, a missing login object,
' instances released in any order, calls after another instance's release, recordsets that
' outlive their instance. Writes section TAB 0 TAB item TAB value lines to bad.txt in the folder
' given as its argument (inputs as for front_end.vbs).
Option Explicit

Dim fso, dir, out
Set fso = CreateObject("Scripting.FileSystemObject")
dir = WScript.Arguments(0)
Set out = fso.CreateTextFile(dir & "\bad.txt", True, True)

Function ReadText(name)
  Dim f
  Set f = fso.OpenTextFile(dir & "\" & name, 1, False, -1)
  ReadText = f.ReadAll
  f.Close
End Function

Sub Put(section, item, value)
  If IsNull(value) Then value = "<null>"
  If IsEmpty(value) Then value = "<empty>"
  out.WriteLine section & vbTab & "0" & vbTab & item & vbTab & CStr(value)
End Sub

' The result, the message and the COM error of one call, run by the caller's closure text.
Dim ok, msg, rs, rs2, k, k2, k3, login, xml, arr(1)
Sub Report(section)
  Put section, "err", Err.Number
  Put section, "ok", ok
  Put section, "msg", msg
  Err.Clear
End Sub

Set login = CreateObject("Q9Substitutes.CallerLogin")
login.Open ReadText("conn.txt"), "demo", "001", 2026
xml = ReadText("cond0.xml")

On Error Resume Next
Set k = CreateObject("Q9STRepSrv.IClsKCZT")

' Init: a login that is Nothing, text, Null, Empty, a number.
ok = Empty: msg = "-": ok = k.Init(Nothing, msg): Report "init_nothing"
ok = Empty: msg = "-": ok = k.Init("login", msg): Report "init_text"
ok = Empty: msg = "-": ok = k.Init(Null, msg): Report "init_null"
ok = Empty: msg = "-": ok = k.Init(Empty, msg): Report "init_empty"
ok = Empty: msg = "-": ok = k.Init(42, msg): Report "init_number"
' A login object without the members: Load fails inside Init.
ok = Empty: msg = "-": ok = k.Init(fso, msg): Report "init_foreign"
' Before a successful Init every method fails by its own path.
ok = Empty: msg = "-": ok = k.GetPeriodDay(rs, msg): Report "periods_before_init"
ok = Empty: msg = "-": ok = k.OpenX(xml, rs, 0, msg): Report "openx_before_init"

ok = Empty: msg = "-": ok = k.Init(login, msg): Report "init_ok"
' Late binding matches names in any letter case.
ok = Empty: msg = "-": ok = k.getperiodday(rs2, msg): Report "lowercase_name"
' Wrong types where a number or a text is expected.
ok = Empty: msg = "-": ok = k.OpenX(xml, rs, "abc", msg): Report "openx_kind_text"
ok = Empty: msg = "-": ok = k.OpenX(xml, rs, "1", msg): Report "openx_kind_numeric_text"
ok = Empty: msg = "-": ok = k.OpenX(xml, rs, arr, msg): Report "openx_kind_array"
ok = Empty: msg = "-": ok = k.OpenX(xml, rs, Null, msg): Report "openx_kind_null"
ok = Empty: msg = "-": ok = k.OpenX(Null, rs, 0, msg): Report "openx_xml_null"
ok = Empty: msg = "-": ok = k.OpenX(xml, rs, 70000, msg): Report "openx_kind_overflow"
ok = Empty: msg = "-": ok = k.OpenX(xml, rs, 7, msg): Report "openx_kind_7"
ok = Empty: msg = "-": ok = k.OpenPage(xml, rs, rs2, "abc", msg, 1): Report "openpage_kind_text"
ok = Empty: msg = "-": ok = k.OpenPage(xml, "not a recordset", rs2, 0, msg, 1): Report "openpage_rs1_text"
ok = Empty: msg = "-": ok = k.OpenPage(xml, Nothing, rs2, 0, msg, 1): Report "openpage_rs1_nothing"
ok = Empty: msg = "-": ok = k.GetTaskAuth(arr, 1, msg): Report "task_id_array"
ok = Empty: msg = "-": ok = k.SaveFormat(Null, msg): Report "saveformat_null"
ok = Empty: msg = "-": ok = k.SaveFormat("", msg): Report "saveformat_empty"
' Too few arguments: the dispatcher refuses before the method runs.
ok = Empty: msg = "-": ok = k.OpenX(xml): Report "openx_too_few"
ok = Empty: msg = "-": ok = k.NoSuchMethod(1): Report "unknown_member"

' The recordset a caller got outlives the instance, and the globals go with the last instance.
ok = k.OpenX(xml, rs, 0, msg)
Set k2 = CreateObject("Q9STRepSrv.IClsKCZT")
Set k3 = CreateObject("Q9STRepSrv.IClsKCZT")
Set k = Nothing
Put "rs_after_release", "RecordCount>0", rs.RecordCount > 0
rs.MoveLast
Put "rs_after_release", "EOF", rs.EOF
' Another instance of the apartment still works on the globals Init left.
ok = Empty: msg = "-": ok = k2.OpenX(xml, rs2, 1, msg): Report "k2_after_k_released"
Set k2 = Nothing
Set k3 = Nothing
Set k = CreateObject("Q9STRepSrv.IClsKCZT")
ok = Empty: msg = "-": ok = k.GetPeriodDay(rs2, msg): Report "periods_after_all_released"
ok = Empty: msg = "-": ok = k.OpenX(xml, rs2, 0, msg): Report "openx_after_all_released"
ok = Empty: msg = "-": ok = k.Init(login): Report "init_again"
ok = Empty: msg = "-": ok = k.OpenPage(xml, rs, rs2, 0, msg, 2): Report "openpage_old_rs1"

' A recordset a front end made itself: Rs1 of OpenPage may be any object with the members.
Set rs2 = rs.Clone
rs2.Close
ok = Empty: msg = "-": ok = k.OpenPage(xml, rs2, rs, 0, msg, 1): Report "openpage_closed_rs1"
rs.MoveFirst: rs.Move 2: Put "rs_members", "AbsolutePosition after Move 2", rs.AbsolutePosition
rs.AbsolutePosition = 1: rs.MovePrevious: Put "rs_members", "BOF after MovePrevious", rs.BOF
Put "rs_members", "Fields(0).Type", rs.Fields(0).Type
Dim f, names
names = ""
For Each f In rs.Fields
  names = names & f.Name & ","
Next
Put "rs_members", "For Each Fields gives every name", names = FieldNames(rs)
Put "rs_members", "For Each Fields count is Fields.Count", UBound(Split(names, ",")) = rs.Fields.Count
Put "rs_members", "State", rs.State
Err.Clear
rs.Fields("NoSuchField").Value = 1
Put "rs_members", "unknown field err", Err.Number
Err.Clear
rs.Close
Dim n
n = rs.RecordCount
Put "rs_members", "RecordCount after Close err", Err.Number
Err.Clear

' A recordset the front end made itself (a script class with the recordset's members) as OpenPage's
' Rs1: the same detail as with the component's own summary.
ok = k.OpenX(xml, rs, 0, msg)
Dim mine, d1, d2
Set mine = New ScriptRecordset
mine.CopyFrom rs
ok = Empty: msg = "-": ok = k.OpenPage(xml, mine, d1, 0, msg, 2): Report "openpage_script_rs1"
ok = k.OpenPage(xml, rs, d2, 0, msg, 2)
Put "openpage_script_rs1", "same RecordCount", d1.RecordCount = d2.RecordCount
Put "openpage_script_rs1", "same first value", d1.Fields(0).Value = d2.Fields(0).Value
Put "openpage_script_rs1", "Rs1 left alone", mine.AbsolutePosition

Set k = Nothing
Put "end", "done", True
out.Close

Function FieldNames(rs)
  Dim i
  FieldNames = ""
  For i = 0 To rs.Fields.Count - 1
    FieldNames = FieldNames & rs.Fields(i).Name & ","
  Next
End Function

Class ScriptField
  Public Name
  Public Value
End Class

Class ScriptFields
  Private owner
  Public Sub Bind(o)
    Set owner = o
  End Sub
  Public Property Get Count
    Count = owner.ColumnCount
  End Property
  Public Function Item(i)
    Dim f
    Set f = New ScriptField
    f.Name = owner.ColumnName(i)
    f.Value = owner.Cell(i)
    Set Item = f
  End Function
End Class

Class ScriptRecordset
  Private names
  Private data
  Private pos
  Private fieldsObj
  Public Sub CopyFrom(rs)
    Dim c, r, i
    c = rs.Fields.Count
    ReDim names(c - 1)
    For i = 0 To c - 1
      names(i) = rs.Fields(i).Name
    Next
    ReDim data(rs.RecordCount - 1, c - 1)
    rs.MoveFirst
    r = 0
    Do While Not rs.EOF
      For i = 0 To c - 1
        data(r, i) = rs.Fields(i).Value
      Next
      r = r + 1
      rs.MoveNext
    Loop
    pos = 0
  End Sub
  Public Sub CopyOf(n, d, p)
    names = n
    data = d
    pos = p
  End Sub
  Public Property Get ColumnCount
    ColumnCount = UBound(names) + 1
  End Property
  Public Function ColumnName(i)
    ColumnName = names(i)
  End Function
  Public Function Cell(i)
    Cell = data(pos, i)
  End Function
  Public Property Get Fields
    Set fieldsObj = New ScriptFields
    fieldsObj.Bind Me
    Set Fields = fieldsObj
  End Property
  Public Property Get RecordCount
    RecordCount = UBound(data, 1) + 1
  End Property
  Public Property Get EOF
    EOF = pos > UBound(data, 1)
  End Property
  Public Property Get BOF
    BOF = pos < 0
  End Property
  Public Property Get State
    State = 1
  End Property
  Public Property Get AbsolutePosition
    AbsolutePosition = pos + 1
  End Property
  Public Sub MoveFirst
    pos = 0
  End Sub
  Public Sub MoveNext
    pos = pos + 1
  End Sub
  Public Function Clone
    Dim c
    Set c = New ScriptRecordset
    c.CopyOf names, data, 0
    Set Clone = c
  End Function
End Class
