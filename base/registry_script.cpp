// Registry script parser.
#include "base/registry_script.h"

#include <utility>

namespace lumora::registry_script {
namespace {

struct Token {
  std::u16string text;
  bool quoted = false;
  bool Is(const char16_t* word) const { return !quoted && text == word; }
};

class SyntaxError {};

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

class Parser {
 public:
  Parser(const std::u16string& script, const std::u16string& modulePath)
      : script_(script), modulePath_(modulePath) {}

  std::vector<Root> Parse() {
    std::vector<Root> roots;
    while (Peek()) {
      Root root;
      root.key = Key(Next());
      Expect(u"{");
      root.entries = Block(1);
      roots.push_back(std::move(root));
    }
    return roots;
  }

 private:
  static RootKey Key(const Token& token) {
    if (token.Is(u"HKCR") || token.Is(u"HKEY_CLASSES_ROOT")) return RootKey::kClassesRoot;
    if (token.Is(u"HKCU") || token.Is(u"HKEY_CURRENT_USER")) return RootKey::kCurrentUser;
    if (token.Is(u"HKLM") || token.Is(u"HKEY_LOCAL_MACHINE")) return RootKey::kLocalMachine;
    throw SyntaxError();
  }

  // Entries up to and including the closing brace.
  std::vector<Entry> Block(int depth) {
    if (depth > kMaxDepth) throw SyntaxError();
    std::vector<Entry> entries;
    for (;;) {
      Token token = Next();
      if (token.Is(u"}")) return entries;
      entries.push_back(ParseEntry(std::move(token), depth));
    }
  }

  Entry ParseEntry(Token token, int depth) {
    Entry entry;
    if (token.Is(u"val")) {
      entry.isValue = true;
      entry.name = Name(Next());
      Expect(u"=");
      Data(entry);
      return entry;
    }
    if (token.Is(u"NoRemove")) {
      entry.flag = Entry::Flag::kNoRemove;
      token = Next();
    } else if (token.Is(u"ForceRemove")) {
      entry.flag = Entry::Flag::kForceRemove;
      token = Next();
    }
    entry.name = Name(token);
    if (PeekIs(u"=")) {
      Next();
      Data(entry);
    }
    if (PeekIs(u"{")) {
      Next();
      entry.children = Block(depth + 1);
    }
    return entry;
  }

  static std::u16string Name(const Token& token) {
    if (token.text.empty() ||
        (!token.quoted && (token.text == u"{" || token.text == u"}" || token.text == u"="))) {
      throw SyntaxError();
    }
    return token.text;
  }

  void Data(Entry& entry) {
    Token type = Next();
    Token data = Next();
    if (type.Is(u"s")) {
      if (!data.quoted) throw SyntaxError();
      entry.type = Entry::Type::kString;
      entry.text = std::move(data.text);
    } else if (type.Is(u"d")) {
      entry.type = Entry::Type::kDword;
      if (!ParseNumber(data.text, &entry.number)) throw SyntaxError();
    } else {
      throw SyntaxError();
    }
    entry.hasData = true;
  }

  void Expect(const char16_t* word) {
    if (!Next().Is(word)) throw SyntaxError();
  }

  bool Peek() {
    while (pos_ < script_.size() && IsSpace(script_[pos_])) ++pos_;
    return pos_ < script_.size();
  }

  bool PeekIs(const char16_t* word) {
    const size_t saved = pos_;
    if (!Peek()) return false;
    const Token token = Next();
    pos_ = saved;
    return token.Is(word);
  }

  Token Next() {
    if (!Peek()) throw SyntaxError();
    Token token;
    if (script_[pos_] == u'\'') {
      token.quoted = true;
      ++pos_;
      for (;;) {
        if (pos_ >= script_.size()) throw SyntaxError();
        const char16_t c = script_[pos_++];
        if (c == u'\'') {
          if (pos_ < script_.size() && script_[pos_] == u'\'') {
            token.text += u'\'';
            ++pos_;
            continue;
          }
          break;
        }
        token.text += c;
      }
      token.text = Expand(token.text);
      return token;
    }
    while (pos_ < script_.size() && !IsSpace(script_[pos_])) token.text += script_[pos_++];
    return token;
  }

  // Replaces %MODULE% and %%; any other variable is an error.
  std::u16string Expand(const std::u16string& text) const {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != u'%') {
        out += text[i];
        continue;
      }
      const size_t end = text.find(u'%', i + 1);
      if (end == std::u16string::npos) throw SyntaxError();
      const std::u16string name = text.substr(i + 1, end - i - 1);
      if (name.empty()) {
        out += u'%';
      } else if (name == u"MODULE") {
        out += modulePath_;
      } else {
        throw SyntaxError();
      }
      i = end;
    }
    return out;
  }

  const std::u16string& script_;
  const std::u16string& modulePath_;
  size_t pos_ = 0;
};

int DigitValue(char16_t c, uint32_t base) {
  int v = -1;
  if (c >= u'0' && c <= u'9') v = c - u'0';
  if (base == 16 && c >= u'a' && c <= u'f') v = c - u'a' + 10;
  if (base == 16 && c >= u'A' && c <= u'F') v = c - u'A' + 10;
  return v;
}

}  // namespace

bool ParseNumber(const std::u16string& text, uint32_t* value) {
  uint32_t base = 10;
  size_t i = 0;
  if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    base = 16;
    i = 2;
  }
  if (i == text.size()) return false;
  uint64_t v = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) return false;
    v = v * base + static_cast<uint32_t>(digit);
    if (v > 0xFFFFFFFFu) return false;
  }
  *value = static_cast<uint32_t>(v);
  return true;
}

bool Parse(const std::u16string& script, const std::u16string& modulePath,
           std::vector<Root>* roots) {
  try {
    *roots = Parser(script, modulePath).Parse();
    return true;
  } catch (const SyntaxError&) {
    return false;
  }
}

}  // namespace lumora::registry_script
