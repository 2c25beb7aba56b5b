' DVidCapCtrl from a script client: a rig camera listed by VCapFilterEnum is
' attached through CaptureFilter, then Chipset and Prop are read. Prints
' LUMORA-CTRL-OK as its last line when everything held (the build puts
' tests/win/script/check.vbs before it).
Dim fenum, category, coll, f, found
Set fenum = CreateObject("Lumora.VCapFilterEnum")
category = fenum.DeviceCatClsid(0)
Set coll = fenum.EnumerateFilter(category)
Set found = Nothing
For Each f In coll
  If f.DeviceVidPid = "VID_0471&PID_0329" Then Set found = f
Next
Check Not (found Is Nothing), "the rig lists VID_0471&PID_0329"

If Not (found Is Nothing) Then
  Dim ctrl, chip, value, support
  Set ctrl = CreateObject("Lumora.DVidCapCtrl")

  On Error Resume Next
  chip = ctrl.Chipset
  ' The script engine reports E_NOINTERFACE as its error 430.
  Check Failed(E_NOINTERFACE, 430), _
    "Chipset before attachment: E_NOINTERFACE, got " & Hex(Err.Number)
  Err.Clear
  ctrl.CaptureFilter = found
  If Err.Number = 438 Or Err.Number = &H80020003 Then
    ' A script engine that asks for the object's value first: hand it by reference.
    Err.Clear
    Set ctrl.CaptureFilter = found
  End If
  Check Err.Number = 0, "CaptureFilter: " & Hex(Err.Number) & " " & Err.Description
  Err.Clear
  chip = ctrl.Chipset
  Check Err.Number = 0, "Chipset: " & Hex(Err.Number)
  Check chip = 3, "Chipset is CSX_SAA8116 (3), got " & chip
  Err.Clear
  support = ctrl.Has(0)
  Check Err.Number = 0 And support = 3, "Has(VCP_Brightness) is VCS_both, got " & support
  Err.Clear
  ctrl.Prop(0) = 77
  Check Err.Number = 0, "Prop(0) = 77: " & Hex(Err.Number)
  Err.Clear
  value = ctrl.Prop(0)
  Check Err.Number = 0 And value = 77, "Prop(0) reads 77, got " & value
  ' The members of IDVidCapCtrl2 through the same IDispatch: white balance
  ' (proc-amp) has both modes and starts automatic, exposure lives in the
  ' private set and has none.
  Err.Clear
  Check ctrl.ModeSupport(7) = 3, "ModeSupport(VCP_WhiteBalance) is 3"
  Check ctrl.Mode(7) = 1, "Mode(VCP_WhiteBalance) is VCM_Auto"
  Check ctrl.DefaultValue(7) = 4600, "DefaultValue(VCP_WhiteBalance) is 4600"
  Check ctrl.ModeSupport(15) = 0, "ModeSupport(VCP_Exposure) is 0"
  Check Err.Number = 0, "IDVidCapCtrl2 members: " & Hex(Err.Number)
  Err.Clear
  ctrl.CaptureFilter = found
  Check Err.Number = E_ABORT, "second CaptureFilter: E_ABORT, got " & Hex(Err.Number)
  On Error GoTo 0
  WScript.Echo "chipset " & chip & ", brightness " & value
End If

If failures = 0 Then WScript.Echo "LUMORA-CTRL-OK"
