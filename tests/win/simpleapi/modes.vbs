' Automatic and manual modes and defaults from VBScript through the
' registered Lumora.LumoraCOM (its ILumoraCOM2 members): exposure of a
' simulated camera switched to manual at a value and read back, then to
' automatic, where the camera moves the value by itself; and input that must
' fail and change nothing. Prints "modes.vbs: ok" at the end (the build puts
' tests/win/script/check.vbs before it).
Const VCP_WhiteBalanceMode = 9
Const VCP_Exposure = 15
Const VCM_Auto = 1
Const VCM_Manual = 2

Dim cam, i, found, modes, mode, value, first, mn, mx, dl, def, target
Set cam = CreateOrQuit("Lumora.LumoraCOM")
On Error Resume Next

Err.Clear
mode = cam.CamProperty_Mode(VCP_Exposure)
Check Err.Number = E_ABORT, "CamProperty_Mode before EnumCams gives E_ABORT, got " & Hex(Err.Number)

Err.Clear
cam.EnumCams
Check Err.Number = 0, "EnumCams"
Err.Clear
mode = cam.CamProperty_Mode(VCP_Exposure)
Check Err.Number = E_FAIL, "CamProperty_Mode without a current camera gives E_FAIL"

' The first camera whose exposure offers both modes (the vendor families
' keep exposure in their private sets, which have no modes).
found = -1
For i = 0 To 9
  Err.Clear
  cam.SetCam i
  If Err.Number <> 0 Then Exit For
  modes = cam.CamProperty_ModeSupport(VCP_Exposure)
  If Err.Number = 0 And modes = VCM_Auto + VCM_Manual Then found = i : Exit For
Next
Check found >= 0, "a camera whose exposure offers automatic and manual mode"
WScript.Echo "camera " & found

Err.Clear
mn = 0 : mx = 0 : dl = 0
cam.CamProperty_Range VCP_Exposure, mn, mx, dl
def = cam.CamProperty_Default(VCP_Exposure)
Check Err.Number = 0, "CamProperty_Default: " & Hex(Err.Number)
Check def >= mn And def <= mx, "the default lies in the range"
WScript.Echo "exposure " & mn & " .. " & mx & ", default " & def

' Manual at a value: the mode first, then the value.
If cam.CamProperty(VCP_Exposure) = mn Then target = mx Else target = mn
Err.Clear
cam.CamProperty_Mode(VCP_Exposure) = VCM_Manual
Check Err.Number = 0, "switch to manual: " & Hex(Err.Number)
cam.CamProperty(VCP_Exposure) = target
Check Err.Number = 0, "write the manual value"
Check cam.CamProperty_Mode(VCP_Exposure) = VCM_Manual, "the mode reads back as manual"
Check cam.CamProperty(VCP_Exposure) = target, "the manual value reads back"
Check cam.CamProperty(VCP_Exposure) = target, "and stays"

' Automatic: the camera moves the value by itself.
Err.Clear
cam.CamProperty_Mode(VCP_Exposure) = VCM_Auto
Check Err.Number = 0, "switch to automatic: " & Hex(Err.Number)
Check cam.CamProperty_Mode(VCP_Exposure) = VCM_Auto, "the mode reads back as automatic"
first = cam.CamProperty(VCP_Exposure)
value = cam.CamProperty(VCP_Exposure)
Check Err.Number = 0, "reads in automatic mode"
Check value <> first, "in automatic mode the value changes by itself (" & first & ", " & value & ")"
WScript.Echo "automatic: " & first & " then " & value

' Bad input fails and changes nothing.
Err.Clear
cam.CamProperty_Mode(VCP_Exposure) = 3
Check Failed(E_INVALIDARG, 5), "mode 3 gives E_INVALIDARG, got " & Hex(Err.Number)
Err.Clear
Check cam.CamProperty_Mode(VCP_Exposure) = VCM_Auto, "a refused mode changes nothing"
Check cam.CamProperty_ModeSupport(VCP_WhiteBalanceMode) = 0, "white balance mode has no modes"
cam.CamProperty_Mode(VCP_WhiteBalanceMode) = VCM_Manual
Check Failed(E_NOTIMPL, 445), "a mode for a property without modes gives E_NOTIMPL, got " & Hex(Err.Number)
Err.Clear
value = "unchanged"
value = cam.CamProperty_Default(VCP_WhiteBalanceMode)
Check Failed(E_NOTIMPL, 445), "the default of an unsupported property gives E_NOTIMPL, got " & Hex(Err.Number)
Check value = "unchanged", "a failed default leaves the variable alone"
Err.Clear
mode = cam.CamProperty_Mode(32)
Check Failed(E_INVALIDARG, 5), "property 32 is out of range, got " & Hex(Err.Number)

If failures = 0 Then WScript.Echo "modes.vbs: ok"
WScript.Quit failures
