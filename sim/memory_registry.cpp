#include "sim/memory_registry.h"

#include <algorithm>
#include <string_view>
#include <cstring>
#include <new>

#include "base/text.h"

namespace lumora::sim {

struct MemoryRegistry::Node {
  struct Value {
    uint32_t type = kRegNone;
    std::vector<uint8_t> bytes;
  };
  std::string name;
  std::vector<std::unique_ptr<Node>> children;  // insertion order
  std::vector<std::pair<std::string, Value>> values;
  std::map<uint32_t, RegStatus> enumFailures;
};

struct MemoryRegistry::State {
  Node root;
  std::vector<std::pair<std::string, RegStatus>> refused;
  std::vector<std::string> openLog;
  int openKeys = 0;
};

namespace {

using Node = MemoryRegistry::Node;

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  parts.push_back(part);
  return parts;
}

Node* Child(Node& node, const std::string& name) {
  for (auto& child : node.children) {
    if (EqualNoCase(child->name, name)) return child.get();
  }
  return nullptr;
}

Node* Find(Node& root, const std::string& path) {
  Node* node = &root;
  for (const std::string& part : SplitPath(path)) {
    if (part.empty() || (node = Child(*node, part)) == nullptr) return nullptr;
  }
  return node;
}

Node& Create(Node& root, const std::string& path) {
  Node* node = &root;
  for (const std::string& part : SplitPath(path)) {
    Node* next = Child(*node, part);
    if (next == nullptr) {
      node->children.push_back(std::make_unique<Node>());
      next = node->children.back().get();
      next->name = part;
    }
    node = next;
  }
  return *node;
}

// A UTF-8 name (as tests write them) as UTF-16 code units.
std::u16string Utf16Of(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < n && i + k < s.size(); ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

// UTF-16 units as UTF-8, for the open log (a lone surrogate becomes U+FFFD).
std::string Utf8Of(std::u16string_view units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t cp = units[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

bool SameUnits(std::u16string_view a, std::u16string_view b) {
  auto lower = [](char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
  };
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

class MemoryKey : public RegistryKey {
 public:
  MemoryKey(std::shared_ptr<MemoryRegistry::State> state, Node* node, std::string path)
      : state_(std::move(state)), node_(node), path_(std::move(path)) {
    ++state_->openKeys;
  }
  ~MemoryKey() override { --state_->openKeys; }

  RegStatus EnumSubkey(uint32_t index, RegistryName* name) override {
    auto failure = node_->enumFailures.find(index);
    if (failure != node_->enumFailures.end()) return failure->second;
    if (index >= node_->children.size()) return kRegNoMoreItems;
    try {
      const std::u16string units = Utf16Of(node_->children[index]->name);
      if (units.size() >= kRegNameBufferChars) return kRegMoreData;
      std::copy(units.begin(), units.end(), name->units.begin());
      name->units[units.size()] = u'\0';
      name->length = static_cast<uint32_t>(units.size());
    } catch (const std::bad_alloc&) {
      return kRegOutOfMemory;
    }
    return kRegSuccess;
  }

  RegStatus OpenSubkey(const RegistryName& name, std::unique_ptr<RegistryKey>* key) override {
    key->reset();
    try {
      const std::string path = path_ + "\\" + Utf8Of(name.View());
      state_->openLog.push_back(path);
      for (const auto& refused : state_->refused) {
        if (EqualNoCase(refused.first, path)) return refused.second;
      }
      for (auto& child : node_->children) {
        if (SameUnits(Utf16Of(child->name), name.View())) {
          *key = std::make_unique<MemoryKey>(state_, child.get(), path);
          return kRegSuccess;
        }
      }
    } catch (const std::bad_alloc&) {
      return kRegOutOfMemory;
    }
    return kRegFileNotFound;
  }

  RegStatus QueryValue(const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override {
    for (const auto& entry : node_->values) {
      if (!EqualNoCase(entry.first, name)) continue;
      const auto& value = entry.second;
      const uint32_t needed = static_cast<uint32_t>(value.bytes.size());
      *type = value.type;
      if (needed > *size) {
        *size = needed;
        return kRegMoreData;
      }
      if (needed > 0) std::memcpy(data, value.bytes.data(), needed);
      *size = needed;
      return kRegSuccess;
    }
    return kRegFileNotFound;
  }

 private:
  std::shared_ptr<MemoryRegistry::State> state_;
  Node* node_;
  std::string path_;  // as opened, for the open log
};

}  // namespace

MemoryRegistry::MemoryRegistry() : state_(std::make_shared<State>()) {}
MemoryRegistry::~MemoryRegistry() = default;

void MemoryRegistry::AddKey(const std::string& path) { Create(state_->root, path); }

void MemoryRegistry::SetValue(const std::string& path, const std::string& name, uint32_t type,
                              std::vector<uint8_t> bytes) {
  Node& node = Create(state_->root, path);
  for (auto& entry : node.values) {
    if (EqualNoCase(entry.first, name)) {
      entry.second = {type, std::move(bytes)};
      return;
    }
  }
  node.values.push_back({name, {type, std::move(bytes)}});
}

void MemoryRegistry::SetGuidValue(const std::string& path, const std::string& name,
                                  const Guid& guid) {
  std::vector<uint8_t> bytes(sizeof guid);
  std::memcpy(bytes.data(), &guid, sizeof guid);
  SetValue(path, name, kRegBinary, std::move(bytes));
}

void MemoryRegistry::RefuseOpen(const std::string& path, RegStatus status) {
  state_->refused.push_back({path, status});
}

void MemoryRegistry::FailEnumeration(const std::string& path, uint32_t index, RegStatus status) {
  Create(state_->root, path).enumFailures[index] = status;
}

int MemoryRegistry::OpenKeyCount() const { return state_->openKeys; }

const std::vector<std::string>& MemoryRegistry::OpenLog() const { return state_->openLog; }

RegStatus MemoryRegistry::OpenLocalMachine(const std::string& path,
                                           std::unique_ptr<RegistryKey>* key) {
  key->reset();
  try {
    state_->openLog.push_back(path);
    for (const auto& refused : state_->refused) {
      if (EqualNoCase(refused.first, path)) return refused.second;
    }
    Node* node = Find(state_->root, path);
    if (node == nullptr) return kRegFileNotFound;
    *key = std::make_unique<MemoryKey>(state_, node, path);
  } catch (const std::bad_alloc&) {
    return kRegOutOfMemory;
  }
  return kRegSuccess;
}

}  // namespace lumora::sim
