// The script-friendly lists from JScript: LumoraCOM's camera tables and
// ranges, DVidCapCtrl's RangeList and LagtimeList, read through VBArray, and
// their failures raised with the members' codes. Prints "lists.js: ok" at
// the end when every check held (the build puts tests/win/script/check.js
// before it).
var E_ABORT = 0x80004004, E_FAIL = 0x80004005, E_INVALIDARG = 0x80070057;
var E_NOINTERFACE = 0x80004002;
var VCP_Brightness = 0, VCP_Pan = 26;

// The code a call raises (0 when it raises nothing).
function raised(call) {
  try {
    call();
  } catch (e) {
    return e.number >>> 0;
  }
  return 0;
}

function items(list) { return new VBArray(list).toArray(); }

var lumora = new ActiveXObject("Lumora.LumoraCOM");
check(raised(function () { return lumora.CamNameList; }) == E_ABORT, "CamNameList before EnumCams");
check(raised(function () { return lumora.CamProperty_RangeList(VCP_Brightness); }) == E_ABORT,
      "RangeList before EnumCams");

lumora.EnumCams();
check(raised(function () { return lumora.CamProperty_RangeList(VCP_Brightness); }) == E_FAIL,
      "RangeList without a current camera");
var names = items(lumora.CamNameList);
var devices = items(lumora.DevNameList);
var serials = items(lumora.CamSerialList);
check(names.length >= 2, "the rig lists several cameras");
check(devices.length == names.length && serials.length == names.length, "one entry per camera");
check(new VBArray(lumora.CamNameList).lbound() == 0, "lists start at 0");
for (var i = 0; i < names.length; i++) {
  check(typeof names[i] == "string" && typeof serials[i] == "string", "entries are strings");
  check(devices[i].indexOf("@device:") == 0, "device names are device paths: " + devices[i]);
}

lumora.SetCam(names.length - 1);
var range = items(lumora.CamProperty_RangeList(VCP_Brightness));
check(range.length >= 3, "a range has minimum, maximum and step");
check(range[0] <= range[1] && range[2] >= 1, "range " + range.join(" "));
check(raised(function () { return lumora.CamProperty_RangeList(VCP_Pan); }) == E_INVALIDARG,
      "RangeList(VCP_Pan)");
var before = lumora.CamProperty(VCP_Brightness);
var target = before == range[0] ? range[1] : range[0];
lumora.CamProperty(VCP_Brightness) = target;
check(lumora.CamProperty(VCP_Brightness) == target, "an indexed property write");

var fenum = new ActiveXObject("Lumora.VCapFilterEnum");
var filters = fenum.EnumerateFilter(fenum.DeviceCatClsid(0));
var ctrl = new ActiveXObject("Lumora.DVidCapCtrl");
check(raised(function () { return ctrl.RangeList(VCP_Brightness); }) == E_NOINTERFACE,
      "RangeList before attachment");
check(items(ctrl.LagtimeList(0)).length == 0, "no lag statistics before attachment");
ctrl.CaptureFilter = filters.Item(1);
range = items(ctrl.RangeList(VCP_Brightness));
check(range[0] <= range[1], "the control's range");
var value = ctrl.Prop(VCP_Brightness);
value = ctrl.Prop(VCP_Brightness);
var lag = items(ctrl.LagtimeList(0));
check(lag.length == 4 && lag[3] == 2 && lag[0] <= lag[1], "lag statistics: " + lag.join(" "));

if (failures == 0) WScript.Echo("lists.js: ok");
