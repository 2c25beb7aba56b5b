' The checks every VBScript test client shares. The build writes each client
' with this file before it (lumora_script in tests/win/CMakeLists.txt): run the
' copy in the build folder, not the source.
Option Explicit
Const E_NOTIMPL = &H80004001
Const E_NOINTERFACE = &H80004002
Const E_ABORT = &H80004004
Const E_FAIL = &H80004005
Const E_INVALIDARG = &H80070057
Dim failures : failures = 0

' Counts a check that did not hold and names it.
Sub Check(condition, what)
  If Not condition Then
    WScript.Echo WScript.ScriptName & ": FAILED: " & what
    failures = failures + 1
  End If
End Sub

' The object of a ProgID, or the end of the script with the reason.
Function CreateOrQuit(progId)
  On Error Resume Next
  Set CreateOrQuit = CreateObject(progId)
  If Err.Number <> 0 Then
    WScript.Echo WScript.ScriptName & ": FAILED: CreateObject " & Hex(Err.Number)
    WScript.Quit 1
  End If
End Function

' The script engine reports some failures under its own numbers (E_INVALIDARG
' as 5, E_NOINTERFACE as 430, E_NOTIMPL as 445): whether the last error is
' code in either form.
Function Failed(code, scriptNumber)
  Failed = Err.Number = code Or Err.Number = scriptNumber
End Function

' --- the client
