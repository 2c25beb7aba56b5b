' LumoraCOM from VBScript: lists, selects, reads and writes through the
' registered automation class. Prints "lumora_com.vbs: ok" at the end when
' every step answered as documented (cscript itself always exits 0). The
' build puts tests/win/script/check.vbs before it.
Const VCP_Brightness = 0
Const VCP_Pan = 26

Dim cam, other, names, value, wanted, mn, mx, dl, chip
Set cam = CreateOrQuit("Lumora.LumoraCOM")
On Error Resume Next

Err.Clear
names = cam.GetCamStrings
Check Err.Number = E_ABORT, "GetCamStrings before EnumCams gives E_ABORT, got " & Hex(Err.Number)
Err.Clear
value = cam.CamProperty(VCP_Brightness)
Check Err.Number = E_FAIL, "CamProperty without a camera gives E_FAIL"

Err.Clear
cam.EnumCams
Check Err.Number = 0, "EnumCams"
cam.SetCam 10
Check Err.Number = E_FAIL, "SetCam beyond the list gives E_FAIL"
Err.Clear
cam.SetCam 0
Check Err.Number = 0, "SetCam 0"

value = cam.CamProperty(VCP_Brightness)
Check Err.Number = 0, "CamProperty get"
WScript.Echo "brightness: " & value

Err.Clear
mn = -1 : mx = -1 : dl = -1
cam.CamProperty_Range VCP_Brightness, mn, mx, dl
Check Err.Number = 0, "CamProperty_Range: " & Hex(Err.Number) & " " & Err.Description
Check mn < mx, "range has min below max"
Check VarType(mn) = vbLong And VarType(dl) = vbLong, "range values are Longs"

' Out of range for the simple API: an error, the variables keep their values.
Err.Clear
mn = "unchanged"
cam.CamProperty_Range VCP_Pan, mn, mx, dl
Check Err.Number = E_FAIL, "CamProperty_Range(VCP_Pan) gives E_FAIL, got " & Hex(Err.Number)
Check mn = "unchanged", "CamProperty_Range leaves its arguments alone on failure"
mn = 0
WScript.Echo "range: " & mn & " .. " & mx & " step " & dl

If value = mn Then wanted = mx Else wanted = mn
Err.Clear
cam.CamProperty(VCP_Brightness) = wanted
Check Err.Number = 0, "CamProperty put"
Check cam.CamProperty(VCP_Brightness) = wanted, "the written value reads back"

Err.Clear
chip = cam.CamChipset
Check Err.Number = 0, "CamChipset"
WScript.Echo "chipset: " & chip

Err.Clear
value = cam.CamProperty(VCP_Pan)
Check Err.Number = E_FAIL, "CamProperty(VCP_Pan) gives E_FAIL"
Err.Clear
value = cam.CamProperty_Support(VCP_Pan)
Check Err.Number = 0, "CamProperty_Support(VCP_Pan) reaches the camera"

' A second object has its own (empty) list.
Err.Clear
Set other = CreateObject("Lumora.LumoraCOM")
names = other.GetCamStrings
Check Err.Number = E_ABORT, "a second object lists nothing yet"
Err.Clear

cam.SetCam -1
Check Err.Number = 0, "SetCam -1"
chip = cam.CamChipset
Check Err.Number = E_FAIL, "CamChipset without a camera gives E_FAIL"

If failures = 0 Then WScript.Echo "lumora_com.vbs: ok"
WScript.Quit failures
