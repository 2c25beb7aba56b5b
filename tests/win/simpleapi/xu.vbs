' Extension units from VBScript: LumoraCOM's CamXu_* members on the rig's
' cameras with extension units (LUMORA_SIM_DEVICES=xu), and the same through
' DVidCapCtrl's Xu* members. Units and controls, raw and named reads and
' writes, and errors that name what was wrong. Prints "xu.vbs: ok" at the
' end when every check held.
Const LED = "63610682-5070-49ab-b8cc-b3855e8d221f"
Const FOV = "49e40215-f434-47fe-b158-0e885023e51b"

Function Has(list, item)
  Dim x
  Has = False
  For Each x In list
    If x = item Then Has = True
  Next
End Function

Dim lumora, names, i, cam
Set lumora = CreateObject("Lumora.LumoraCOM")
lumora.EnumCams
names = lumora.CamNameList
cam = -1
For i = 0 To UBound(names)
  If names(i) = "Logitech BRIO" Then cam = i
Next
Check cam >= 0, "the rig lists Logitech BRIO"
lumora.SetCam cam

Dim units : units = lumora.CamXu_Units
Check UBound(units) = 2, "three units, got " & (UBound(units) + 1)
Check Has(units, LED) And Has(units, FOV), "the LED and field-of-view units"
Dim sels : sels = lumora.CamXu_Controls(FOV)
Check UBound(sels) = 0 And sels(0) = 5, "the field-of-view unit has selector 5"
Check lumora.CamXu_Length(LED, 1) = 3, "LED1 is 3 bytes"
Check lumora.CamXu_Access(LED, 1) = 3, "LED1 reads and writes"
Dim raw : raw = lumora.CamXu_Value(LED, 1)
Check VarType(raw) = vbArray + vbByte, "a value is a byte array, got " & VarType(raw)

' Raw write from Array() (numbers 0 to 255), read back by name.
lumora.CamXu_Value(LED, 1) = Array(2, 0, 20)
Check lumora.CamXu_NamedValue("LED Mode") = "blink", "mode 2 reads as blink"
Check lumora.CamXu_NamedValue("LED Frequency") = 20, "frequency 20"
' Named writes: a label, then a number; the other byte keeps its value.
lumora.CamXu_NamedValue("LED Mode") = "off"
Check lumora.CamXu_NamedValue("LED Mode") = "off", "the label written reads back"
Check lumora.CamXu_NamedValue("LED Frequency") = 20, "the frequency is untouched"
lumora.CamXu_NamedValue("Field of View") = 1
Check lumora.CamXu_NamedValue("Field of View") = "78", "field of view 1 is 78 degrees"

Dim info : info = lumora.CamXu_NamedInfo("LED Frequency")
Check info(0) = "integer", "LED Frequency is an integer"
Check info(1) = 1 And info(2) = 255, "its device range 1 to 255, got " & info(1) & " to " & info(2)
Check info(4) = "0.05 Hz", "its units"
Check IsEmpty(info(5)), "no labels"
Check info(6) = LED And info(7) = 1 And info(8) = 3, "unit, selector, access"
Dim menuInfo : menuInfo = lumora.CamXu_NamedInfo("LED Mode")
Dim menu : menu = menuInfo(5)
Check UBound(menu) = 3 And menu(2) = "blink", "the LED Mode labels"
Check Has(lumora.CamXu_Names, "Field of View"), "Field of View among the names"

' Errors name what was wrong and change nothing.
On Error Resume Next
lumora.CamXu_Value(LED, 1) = Array(1, 2)
Check Err.Number = &H80070057, "a wrong length: E_INVALIDARG, got " & Hex(Err.Number)
Check InStr(Err.Description, "takes 3 bytes, not 2") > 0, "the text says so: " & Err.Description
Err.Clear
Dim x : x = lumora.CamXu_Value("12345678-1234-1234-1234-123456789abc", 1)
Check Err.Number <> 0 And InStr(Err.Description, "12345678-1234-1234-1234-123456789abc") > 0, _
  "an unknown unit is named: " & Err.Description
Err.Clear
lumora.CamXu_NamedValue("LED Mode") = "disco"
Check InStr(Err.Description, """disco"" is not one of off, on, blink, auto") > 0, _
  "a label that is not in the menu: " & Err.Description
Err.Clear
On Error Goto 0
Check lumora.CamXu_NamedValue("LED Mode") = "off", "nothing changed"

' The same unit through the control object's IDVidCapCtrl3.
Dim fenum, f, ctrl
Set fenum = CreateObject("Lumora.VCapFilterEnum")
For Each f In fenum.EnumerateFilter(fenum.DeviceCatClsid(0))
  If f.FName = "Razer Kiyo Pro" Then
    Set ctrl = CreateObject("Lumora.DVidCapCtrl")
    ctrl.CaptureFilter = f
  End If
Next
Check IsObject(ctrl), "the rig lists Razer Kiyo Pro"
If IsObject(ctrl) Then
  ctrl.XuNamedValue("HDR") = "on"
  Check ctrl.XuNamedValue("HDR") = "on", "HDR on through the command unit"
  ctrl.XuNamedValue("HDR Mode") = "bright"
  Check ctrl.XuNamedValue("HDR Mode") = "bright", "HDR mode bright"
  Dim hdrInfo : hdrInfo = ctrl.XuNamedInfo("HDR")
  Check hdrInfo(8) = 2, "the command is an action: written, not kept as a setting"
End If

If failures = 0 Then WScript.Echo "xu.vbs: ok"
