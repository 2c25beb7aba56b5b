// The registry script language of the server's class registration, parsed
// into a tree (portable: no Windows headers; the registrar writes the tree
// to the registry).
//
//   HKCR                                    root block: HKCR, HKCU, HKLM or
//   {                                       their HKEY_... names
//     Name = s 'text'                       key with a default string value
//     {                                     its subkeys and named values
//       val Name = s 'text'                 named string value
//       val Count = d '42'                  named DWORD value: decimal, or
//                                           hexadecimal after 0x ('0x2A')
//       NoRemove Name { ... }               kept on unregistration
//       ForceRemove Name = s 'text' { ... } removed whole before writing,
//                                           and whole on unregistration
//     }
//   }
//
// Tokens are separated by white space; a name or value in single quotes
// may hold spaces ('' is a quote). %MODULE% in a quoted text is replaced by
// the library path, %% by %. Keys nest at most kMaxDepth deep.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumora::registry_script {

enum class RootKey { kClassesRoot, kCurrentUser, kLocalMachine };

// One entry of a script: a key (with optional default value and children)
// or a named value of the enclosing key.
struct Entry {
  enum class Flag { kNormal, kNoRemove, kForceRemove };
  enum class Type { kString, kDword };
  bool isValue = false;  // val Name = ...
  Flag flag = Flag::kNormal;
  std::u16string name;
  bool hasData = false;
  Type type = Type::kString;
  std::u16string text;  // kString: the expanded text
  uint32_t number = 0;  // kDword: the value
  std::vector<Entry> children;
};

struct Root {
  RootKey key = RootKey::kClassesRoot;
  std::vector<Entry> entries;
};

constexpr int kMaxDepth = 32;

// Parses a whole script. On a syntax error answers false and leaves *roots
// unchanged. May throw std::bad_alloc.
bool Parse(const std::u16string& script, const std::u16string& modulePath,
           std::vector<Root>* roots);

// A DWORD number of a script: decimal digits, or "0x"/"0X" and hexadecimal
// digits; nothing else, and no more than 32 bits. A leading zero is a
// decimal digit.
bool ParseNumber(const std::u16string& text, uint32_t* value);

}  // namespace lumora::registry_script
