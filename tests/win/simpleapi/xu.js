// Extension units from JScript: LumoraCOM's CamXu_* members on the rig's
// cameras with extension units (LUMORA_SIM_DEVICES=xu). Lists read through
// VBArray, raw writes (hex digits, and an array of numbers), named reads and
// writes, and the error of a read-only write. Wine's JScript cannot hold a
// byte array (VT_ARRAY|VT_UI1) at all, so raw values are checked through
// the named fields they hold. Prints "xu.js: ok" at the end when every check
// held.
var LED = "63610682-5070-49ab-b8cc-b3855e8d221f";
var UNKNOWN = "a7c3e1f0-5b2d-4e8a-9f61-3d0c2b4a5e97";
function items(list) { return new VBArray(list).toArray(); }
function camera(name) {
  var names = items(lumora.CamNameList);
  for (var i = 0; i < names.length; i++) if (names[i] == name) return i;
  return -1;
}

var lumora = new ActiveXObject("Lumora.LumoraCOM");
lumora.EnumCams();
check(lumora.SetCam(camera("Logitech BRIO")) == undefined, "the rig lists Logitech BRIO");
check(items(lumora.CamXu_Units).length == 3, "three units");
check(items(lumora.CamXu_Controls(LED)).join(",") == "1", "the LED unit has selector 1");

// Raw writes, read back through the fields they hold.
lumora.CamXu_Value(LED, 1) = "020014";
check(lumora.CamXu_NamedValue("LED Mode") == "blink", "hex 02..: blink");
check(lumora.CamXu_NamedValue("LED Frequency") == 20, "hex ..14: frequency 20");
lumora.CamXu_NamedValue("LED Mode") = "on";
check(lumora.CamXu_NamedValue("LED Mode") == "on", "a named write reads back");
check(lumora.CamXu_NamedValue("LED Frequency") == 20, "and keeps the other field");
var info = items(lumora.CamXu_NamedInfo("LED Mode"));
check(info[0] == "menu" && items(info[5]).join(",") == "off,on,blink,auto", "the menu's labels");

// The unit no definition names, found through the node's set list, with a
// gap in its selectors and a read-only control.
lumora.SetCam(camera("USB Camera"));
var units = items(lumora.CamXu_Units);
check(units.length == 1 && units[0] == UNKNOWN, "the unknown unit: " + units.join(","));
check(items(lumora.CamXu_Controls(UNKNOWN)).join(",") == "1,2,4", "selectors 1, 2, 4");
check(lumora.CamXu_Length(UNKNOWN, 2) == 46, "the long control is 46 bytes");
check(lumora.CamXu_Access(UNKNOWN, 4) == 1, "selector 4 is read-only");
var refused = null;
try {
  lumora.CamXu_Value(UNKNOWN, 4) = "00000000";
} catch (e) {
  refused = e;
}
check(refused != null && (refused.number >>> 0) == 0x80070005, "a read-only control refuses");
check(refused != null && refused.description.indexOf("read-only") >= 0,
      "and says why: " + (refused ? refused.description : ""));

if (failures == 0) WScript.Echo("xu.js: ok");
