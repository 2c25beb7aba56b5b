// The checks every JScript test client shares. The build writes each client
// with this file before it (lumora_script in tests/win/CMakeLists.txt): run the
// copy in the build folder, not the source.
var failures = 0;

// Counts a check that did not hold and names it.
function check(ok, what) {
  if (!ok) {
    WScript.Echo(WScript.ScriptName + ": FAILED: " + what);
    failures++;
  }
}

// --- the client
