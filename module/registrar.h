// The registrar: interprets the registry scripts of the classes.
//
// The language is described in base/registry_script.h.
//
// Register writes every key and value in script order and stops at the
// first failure. Unregister walks the same tree: ForceRemove keys are
// removed whole, NoRemove keys are kept (their contents are unregistered),
// other keys are removed after their contents when no subkey remains,
// named values are deleted. Keys that do not exist are skipped.
#pragma once

#include <windows.h>

#include <string>

namespace lumora::registrar {

enum class Mode { Register, Unregister };

// Runs a script. A syntax error gives DISP_E_EXCEPTION before anything is
// written; registry failures give HRESULT_FROM_WIN32 of their code.
HRESULT RunScript(const std::wstring& script, Mode mode, const std::wstring& modulePath) noexcept;

// Runs the "REGISTRY" resource id of module (text in the ANSI code page),
// with %MODULE% the module's full path.
HRESULT RunResourceScript(HMODULE module, UINT id, Mode mode) noexcept;

}  // namespace lumora::registrar
