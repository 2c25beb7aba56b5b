' VBScript walks VCapCollection objects with For Each: the filters the
' simulated rig lists and a collection the script fills itself (the same
' checks as collection_walk.js). Prints COLLECTION-WALK-VBS-OK as its last
' line when every check held (the build puts tests/win/script/check.vbs
' before it).
Dim fenum, filters, f, i, c, v, s, n, mixed

' The rig's cameras: one VCapFilter per device, walked in the order of
' Item(1)..Item(Count).
Set fenum = CreateObject("Lumora.VCapFilterEnum")
Set filters = fenum.EnumerateFilter(fenum.DeviceCatClsid(0))
Check filters.Count > 0, "the rig lists cameras"
i = 0
For Each f In filters
  i = i + 1
  If i <= filters.Count Then
    Check f.DeviceName = filters.Item(i).DeviceName, "item " & i & " is Item(" & i & ")"
  End If
  WScript.Echo "camera: " & f.FName & " [" & f.DevSerial & "]"
Next
Check i = filters.Count, "For Each delivers Count items: " & i

' A collection of the script's own values, in key order (C_10 before C_2).
Set c = CreateObject("Lumora.VCapCollection")
For n = 1 To 10
  c.Add1 n * 10
Next
s = ""
For Each v In c
  s = s & v & ","
Next
Check s = "10,100,20,30,40,50,60,70,80,90,", "key order: " & s

' The loop walks the entries the collection had when it started.
n = 0
For Each v In c
  If n = 0 Then c.Clear
  n = n + 1
Next
Check n = 10, "For Each keeps its entries after Clear: " & n
n = 0
For Each v In c
  n = n + 1
Next
Check n = 0, "an empty collection gives no iteration"

' Items of mixed kinds come back as they were stored.
c.Add "k", "text"
c.Add1 filters.Item(1)
n = 0
For Each v In c
  n = n + 1
  If IsObject(v) Then
    Check v.FName = filters.Item(1).FName, "an object item"
  Else
    Check v = "text", "a text item"
  End If
Next
Check n = 2, "two mixed items"

If failures = 0 Then
  WScript.Echo "COLLECTION-WALK-VBS-OK"
Else
  WScript.Echo failures & " check(s) failed"
End If
