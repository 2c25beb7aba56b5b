// JScript walks VCapCollection objects with Enumerator: the filters the
// simulated rig lists and a collection the script fills itself. Prints
// COLLECTION-WALK-JS-OK as its last line when every check held (the build
// puts tests/win/script/check.js before it).

// Every item an Enumerator over the collection delivers, in order.
function walk(collection) {
  var items = [];
  for (var e = new Enumerator(collection); !e.atEnd(); e.moveNext()) items.push(e.item());
  return items;
}

try {
  // The rig's cameras: one VCapFilter per device, walked in the order of
  // Item(1)..Item(Count).
  var fenum = new ActiveXObject("Lumora.VCapFilterEnum");
  var filters = fenum.EnumerateFilter(fenum.DeviceCatClsid(0));
  var walked = walk(filters);
  check(filters.Count > 0, "the rig lists cameras");
  check(walked.length == filters.Count, "Enumerator delivers Count items: " + walked.length);
  for (var i = 0; i < walked.length; i++) {
    check(walked[i].DeviceName == filters.Item(i + 1).DeviceName,
          "item " + i + " is Item(" + (i + 1) + ")");
    WScript.Echo("camera: " + walked[i].FName + " [" + walked[i].DevSerial + "]");
  }

  // A collection of the script's own values, in key order (C_10 before C_2).
  var c = new ActiveXObject("Lumora.VCapCollection");
  for (var n = 1; n <= 10; n++) c.Add1(n * 10);
  check(walk(c).join(",") == "10,100,20,30,40,50,60,70,80,90", "key order: " + walk(c).join(","));

  // An Enumerator walks the entries the collection had when it was made.
  var e = new Enumerator(c);
  c.Clear();
  var old = [];
  for (; !e.atEnd(); e.moveNext()) old.push(e.item());
  check(old.length == 10, "an Enumerator keeps its entries after Clear: " + old.length);
  e.moveFirst();
  check(!e.atEnd() && e.item() == 10, "moveFirst starts over");
  check(walk(c).length == 0, "an empty collection is at its end at once");

  // Items of mixed kinds come back as they were stored.
  c.Add("k", "text");
  c.Add1(filters.Item(1));
  var mixed = walk(c);
  check(mixed.length == 2, "two mixed items");
  check(mixed[0].FName == filters.Item(1).FName, "an object item");
  check(mixed[1] == "text", "a text item");
} catch (x) {
  check(false, "error " + (x.number >>> 0).toString(16) + " " + x.message);
}

WScript.Echo(failures == 0 ? "COLLECTION-WALK-JS-OK" : failures + " check(s) failed");
