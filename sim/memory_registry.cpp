#include "sim/memory_registry.h"

#include <algorithm>
#include <cstring>
#include <new>

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

bool SameName(const std::string& a, const std::string& b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

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
    if (SameName(child->name, name)) return child.get();
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

// Length of a UTF-8 name in UTF-16 code units.
size_t Utf16Length(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) {
    if ((c & 0xC0) == 0x80) continue;  // continuation byte
    n += (c >= 0xF0) ? 2 : 1;          // four-byte sequences need a surrogate pair
  }
  return n;
}

class MemoryKey : public RegistryKey {
 public:
  MemoryKey(std::shared_ptr<MemoryRegistry::State> state, Node* node)
      : state_(std::move(state)), node_(node) {
    ++state_->openKeys;
  }
  ~MemoryKey() override { --state_->openKeys; }

  RegStatus EnumSubkey(uint32_t index, std::string* name) override {
    auto failure = node_->enumFailures.find(index);
    if (failure != node_->enumFailures.end()) return failure->second;
    if (index >= node_->children.size()) return kRegNoMoreItems;
    const std::string& child = node_->children[index]->name;
    if (Utf16Length(child) >= kRegNameBufferChars) return kRegMoreData;
    try {
      *name = child;
    } catch (const std::bad_alloc&) {
      return kRegOutOfMemory;
    }
    return kRegSuccess;
  }

  RegStatus QueryValue(const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override {
    for (const auto& entry : node_->values) {
      if (!SameName(entry.first, name)) continue;
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
};

}  // namespace

MemoryRegistry::MemoryRegistry() : state_(std::make_shared<State>()) {}
MemoryRegistry::~MemoryRegistry() = default;

void MemoryRegistry::AddKey(const std::string& path) { Create(state_->root, path); }

void MemoryRegistry::SetValue(const std::string& path, const std::string& name, uint32_t type,
                              std::vector<uint8_t> bytes) {
  Node& node = Create(state_->root, path);
  for (auto& entry : node.values) {
    if (SameName(entry.first, name)) {
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
      if (SameName(refused.first, path)) return refused.second;
    }
    Node* node = Find(state_->root, path);
    if (node == nullptr) return kRegFileNotFound;
    *key = std::make_unique<MemoryKey>(state_, node);
  } catch (const std::bad_alloc&) {
    return kRegOutOfMemory;
  }
  return kRegSuccess;
}

}  // namespace lumora::sim
