' Creates every class of Lumora.dll by ProgID (both forms) and checks that
' its IDispatch names its interface (DVidCapCtrl, VCapFilter, VCapFilterEnum
' and LumoraCOM: their newest interface, which extends the default one). Prints LUMORA-CREATE-OK when all
' pass.
Option Explicit
Dim classes, i, name, obj, failures
classes = Array( _
  Array("Lumora.VCapCollection", "IVCapCollection"), _
  Array("Lumora.VCapFilter", "IVCapFilter2"), _
  Array("Lumora.DVidCapCtrl", "IDVidCapCtrl3"), _
  Array("Lumora.VCapFilterEnum", "IVCapFilterEnum2"), _
  Array("Lumora.LumoraCOM", "ILumoraCOM4"))
failures = 0
On Error Resume Next
For i = 0 To UBound(classes)
  For Each name In Array(classes(i)(0), classes(i)(0) & ".1")
    Err.Clear
    Set obj = CreateObject(name)
    If Err.Number <> 0 Then
      WScript.Echo "FAIL " & name & ": error " & Hex(Err.Number)
      failures = failures + 1
    ElseIf TypeName(obj) <> classes(i)(1) Then
      WScript.Echo "FAIL " & name & ": TypeName " & TypeName(obj)
      failures = failures + 1
    Else
      WScript.Echo "created " & name
    End If
    Set obj = Nothing
  Next
Next
If failures = 0 Then WScript.Echo "LUMORA-CREATE-OK"
WScript.Quit failures
