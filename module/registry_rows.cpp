// lumora-registry-rows: the registry scripts of the server, parsed by the
// registrar's own parser, as one flat JSON list of rows (native build tool;
// the installer's registry table is made from it, scripts/msi/).
//
// usage: lumora-registry-rows MODULE SCRIPT.rgs...
//   MODULE  the text that stands for %MODULE%
//
// Every key gives a row {"root", "key", "kind": "key", "flag": "normal" |
// "noremove" | "forceremove"}; a key's default value and every named value
// give a row {"root", "key", "kind": "value", "name" (null: the default
// value), "type": "string" | "dword", "data"}. Keys are paths below the
// root, joined with "\". Rows come in script order. Exit status 0, or 1
// with a message on stderr (unreadable file, syntax error).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/registry_script.h"

namespace {

using lumora::registry_script::Entry;
using lumora::registry_script::Root;
using lumora::registry_script::RootKey;

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

const char* RootName(RootKey key) {
  switch (key) {
    case RootKey::kCurrentUser: return "HKCU";
    case RootKey::kLocalMachine: return "HKLM";
    case RootKey::kClassesRoot: break;
  }
  return "HKCR";
}

nlohmann::json ValueRow(const char* root, const std::string& key, const Entry& entry, bool named) {
  nlohmann::json row = {{"root", root}, {"key", key}, {"kind", "value"}};
  row["name"] = named ? nlohmann::json(Utf8(entry.name)) : nlohmann::json(nullptr);
  if (entry.type == Entry::Type::kDword) {
    row["type"] = "dword";
    row["data"] = entry.number;
  } else {
    row["type"] = "string";
    row["data"] = Utf8(entry.text);
  }
  return row;
}

void AddRows(const char* root, const std::string& parent, const std::vector<Entry>& entries,
             nlohmann::json* rows) {
  for (const Entry& entry : entries) {
    if (entry.isValue) {
      rows->push_back(ValueRow(root, parent, entry, true));
      continue;
    }
    const std::string key = parent.empty() ? Utf8(entry.name) : parent + "\\" + Utf8(entry.name);
    const char* flag = entry.flag == Entry::Flag::kNoRemove      ? "noremove"
                       : entry.flag == Entry::Flag::kForceRemove ? "forceremove"
                                                                 : "normal";
    rows->push_back({{"root", root}, {"key", key}, {"kind", "key"}, {"flag", flag}});
    if (entry.hasData) rows->push_back(ValueRow(root, key, entry, false));
    AddRows(root, key, entry.children, rows);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: lumora-registry-rows MODULE SCRIPT.rgs...\n");
    return 1;
  }
  try {
    const std::string module = argv[1];
    nlohmann::json rows = nlohmann::json::array();
    for (int i = 2; i < argc; ++i) {
      std::ifstream in(argv[i], std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "lumora-registry-rows: cannot read %s\n", argv[i]);
        return 1;
      }
      // The scripts are ASCII text (the registrar reads them in the ANSI
      // code page).
      const std::string bytes((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
      std::u16string script;
      for (unsigned char c : bytes) script += static_cast<char16_t>(c);
      std::vector<Root> roots;
      if (!lumora::registry_script::Parse(script, std::u16string(module.begin(), module.end()),
                                          &roots)) {
        std::fprintf(stderr, "lumora-registry-rows: %s: syntax error\n", argv[i]);
        return 1;
      }
      for (const Root& root : roots) AddRows(RootName(root.key), "", root.entries, &rows);
    }
    std::printf("%s\n", rows.dump(1).c_str());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "lumora-registry-rows: %s\n", e.what());
  }
  return 1;
}
