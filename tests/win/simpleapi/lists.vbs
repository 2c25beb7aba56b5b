' The script-friendly lists from VBScript: LumoraCOM's camera tables and
' ranges, DVidCapCtrl's RangeList and LagtimeList, indexed, bounded and
' walked with For Each, and their failures raised with the members' codes.
' Prints "lists.vbs: ok" at the end when every check held (the build puts
' tests/win/script/check.vbs before it).
Const VCP_Brightness = 0
Const VCP_Pan = 26

' Checks the error of the statement before it (in either form) and clears it.
Sub CheckError(expected, own, what)
  Check Failed(expected, own), what & " (error " & Hex(Err.Number) & ")"
  Err.Clear
End Sub

Dim lumora, names, devices, serials, range, n, i, x, fenum, filters, f, ctrl, lag, value
Set lumora = CreateObject("Lumora.LumoraCOM")

On Error Resume Next
names = lumora.CamNameList : CheckError E_ABORT, E_ABORT, "CamNameList before EnumCams"
serials = lumora.CamSerialList : CheckError E_ABORT, E_ABORT, "CamSerialList before EnumCams"
range = lumora.CamProperty_RangeList(VCP_Brightness) : CheckError E_ABORT, E_ABORT, "RangeList before EnumCams"
On Error GoTo 0

lumora.EnumCams
On Error Resume Next
range = lumora.CamProperty_RangeList(VCP_Brightness) : CheckError E_FAIL, E_FAIL, "RangeList without a current camera"
On Error GoTo 0
names = lumora.CamNameList
devices = lumora.DevNameList
serials = lumora.CamSerialList
Check LBound(names) = 0, "lists start at 0"
Check UBound(names) >= 1, "the rig lists several cameras"
Check UBound(devices) = UBound(names) And UBound(serials) = UBound(names), "one entry per camera"
n = 0
For Each x In names
  Check x = names(n), "For Each walks the names in order"
  n = n + 1
Next
Check n = UBound(names) + 1, "For Each visits every name"
For i = 0 To UBound(names)
  Check VarType(names(i)) = vbString And VarType(serials(i)) = vbString, "entries are strings"
  Check InStr(devices(i), "@device:") = 1, "device names are device paths: " & devices(i)
Next

lumora.SetCam UBound(names)
range = lumora.CamProperty_RangeList(VCP_Brightness)
Check UBound(range) >= 2, "a range has minimum, maximum and step"
Check range(0) <= range(1) And range(2) >= 1, "range " & range(0) & ".." & range(1) & " step " & range(2)
Dim mn, mx, dl
lumora.CamProperty_Range VCP_Brightness, mn, mx, dl
Check mn = range(0) And mx = range(1) And dl = range(2), "RangeList agrees with CamProperty_Range"
On Error Resume Next
range = lumora.CamProperty_RangeList(VCP_Pan) : CheckError E_INVALIDARG, 5, "RangeList(VCP_Pan)"
range = lumora.CamProperty_RangeList(-1) : CheckError E_INVALIDARG, 5, "RangeList(-1)"
On Error GoTo 0

' The control object of a camera, reached through the filter list.
Set fenum = CreateObject("Lumora.VCapFilterEnum")
Set filters = fenum.EnumerateFilter(fenum.DeviceCatClsid(0))
Set ctrl = CreateObject("Lumora.DVidCapCtrl")
On Error Resume Next
range = ctrl.RangeList(VCP_Brightness) : CheckError E_NOINTERFACE, 430, "RangeList before attachment"
On Error GoTo 0
lag = ctrl.LagtimeList(0)
Check UBound(lag) = -1, "no lag statistics before attachment"
ctrl.CaptureFilter = filters.Item(1)
range = ctrl.RangeList(VCP_Brightness)
Check range(0) <= range(1), "the control's range"
value = ctrl.Prop(VCP_Brightness)
value = ctrl.Prop(VCP_Brightness)
lag = ctrl.LagtimeList(0)
Check UBound(lag) = 3, "lag statistics: minimum, maximum, mean, count"
Check lag(3) = 2 And lag(0) <= lag(1), "two timed reads: " & lag(0) & " " & lag(1) & " " & lag(3)

If failures = 0 Then WScript.Echo "lists.vbs: ok"
