' Filter descriptor, keyed collection and filter enumerator as a script
' client sees them. Prints ENUMERATION-SCRIPT-OK when every check held (the
' build puts tests/win/script/check.vbs before it).
' Checks the error of the statement before it and clears it (the statements
' run under On Error Resume Next).
Sub CheckError(expected, what)
  If expected = E_INVALIDARG Then
    Check Failed(E_INVALIDARG, 5), what & " (error " & Err.Number & ")"
  ElseIf expected = 0 Then
    Check Err.Number <> 0, what & " (no error)"
  Else
    Check Err.Number = expected, what & " (error " & Err.Number & ")"
  End If
  Err.Clear
End Sub

Dim f, c, e, v, s, i, k, fe, found

' --- descriptor
Set f = CreateObject("Lumora.VCapFilter")
Check f.FName = "", "fresh FName is empty"
Check f.DeviceName = "", "fresh DeviceName is empty"
Check f.FIndex = 0, "fresh FIndex is 0"
Check f.Moniker Is Nothing, "fresh Moniker is Nothing"
f.DeviceName = "@device:pnp:\\?\usb#vid_0471&pid_0329&mi_00#7&1f1f0d8&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global"
Check f.DevSerial = "1f1f0d8", "DevSerial from a composite path: " & f.DevSerial
Check f.DeviceVidPid = "VID_0471&PID_0329", "DeviceVidPid from a composite path: " & f.DeviceVidPid
f.DeviceName = "plain name"
Check f.DevSerial = "1f1f0d8", "a path without tokens keeps DevSerial"
Check f.DeviceName = "plain name", "DeviceName takes any text"
f.FIndex = -3
Check f.FIndex = -3, "FIndex takes negative values"
f.FName = "Camera"
Check f.FName = "Camera", "FName round trip"

' --- collection: generated keys past nine
Set c = CreateObject("Lumora.VCapCollection")
For i = 1 To 11
  c.Add1 i * 10
Next
Check c.Count = 11, "eleven Add1 give Count 11"
Check c.Item(2) = 100, "Item(2) is the value of C_10: " & c.Item(2)
Check c(2) = 100, "Item is the default member"
Check c("C_2") = 20, "Item by key"
Check c.Item(0) = 10 And c.Item(-5) = 10, "positions below 1 give the first entry"
Check c.Item(2.7) = 110, "2.7 selects position 3"
On Error Resume Next
v = c.Item(12) : CheckError E_FAIL, "position past the end gives E_FAIL"
v = c.Item("c_1") : CheckError E_FAIL, "keys are case-sensitive"
On Error GoTo 0
k = "C_3"
Check c.Item(k) = 30, "a string variable that is no number is a key"

' For Each walks the entries in key order.
s = ""
For Each v In c
  s = s & v & ","
Next
Check s = "10,100,110,20,30,40,50,60,70,80,90,", "For Each order: " & s

' --- collection: keys, duplicates, removal
Set c = CreateObject("Lumora.VCapCollection")
c.Add 5, "five"
Check c("5") = "five", "a numeric key is stored as its text"
On Error Resume Next
v = c.Item(5) : CheckError E_FAIL, "the number 5 is a position"
c.Add "5", "again" : CheckError E_FAIL, "a duplicate key gives E_FAIL"
Check c("5") = "five", "a duplicate key keeps the first value"
c.Remove 0 : CheckError E_INVALIDARG, "Remove(0) gives E_INVALIDARG"
c.Remove 2 : CheckError E_INVALIDARG, "Remove(Count + 1) gives E_INVALIDARG"
c.Remove "nokey" : CheckError E_FAIL, "Remove of a missing key gives E_FAIL"
On Error GoTo 0
c.Remove "5"
Check c.Count = 0, "Remove by key"

c.Add1 "a" : c.Add1 "b" : c.Add1 "c"
c.Remove 1
c.Add1 "d"
Check c.Count = 2, "Add1 after a removal replaces the entry of its key"
Check c("C_3") = "d", "the replaced value"

' --- object values
c.Add "filter", f
Set found = c("filter")
Check found.FName = "Camera", "an object value comes back as the same object"
c.Clear
Check c.Count = 0, "Clear"
Check f.FName = "Camera", "the object outlives its entry"

' --- enumerator
Set fe = CreateObject("Lumora.VCapFilterEnum")
Check fe.DeviceCatClsid(0) = "{860bb310-5d01-11d0-bd3b-00a0c911ce86}", "DeviceCatClsid(0): " & fe.DeviceCatClsid(0)
On Error Resume Next
v = fe.DeviceCatClsid(11) : CheckError E_INVALIDARG, "DeviceCatClsid(11) gives E_INVALIDARG"
v = fe.DeviceCatClsid(-1) : CheckError E_INVALIDARG, "DeviceCatClsid(-1) gives E_INVALIDARG"
On Error GoTo 0
Set e = fe.EnumerateFilter(fe.DeviceCatClsid(0))
Check e.Count = 0, "no cameras in the test prefix"
On Error Resume Next
Set v = fe.EnumerateFilter("not a clsid") : CheckError 0, "malformed category text fails"
On Error GoTo 0

If failures = 0 Then
  WScript.Echo "ENUMERATION-SCRIPT-OK"
Else
  WScript.Echo failures & " check(s) failed"
End If
