// Deterministic stand-in for the fuzzing engine: feeds a fixed set of edge
// inputs and a few thousand seeded pseudo-random ones to the fuzz entry
// point, so the same invariants run in every build. A failed invariant
// aborts the program.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Run(const std::u16string& text, bool oddTail = false) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xff));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  if (oddTail) bytes.push_back(0x23);
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

}  // namespace

int main() {
  const std::u16string edges[] = {
      u"",
      u"#",
      u"&",
      u"#&#&#&#&#&#&",
      u"@device:pnp:\\\\?\\usb#vid_0471&pid_0329&mi_00#7&1f1f0d8&0&0000#"
      u"{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
      u"a&b&c&d&e&f",
      u"x#abcdefghijklmnopqrstuvwxyz#y",
      std::u16string(u"a#b\0c#d&e&f&g&h", 15),
      std::u16string(3000, u'#'),
      std::u16string(3000, u'a'),
  };
  size_t runs = 0;
  for (const auto& e : edges) {
    Run(e);
    Run(e, true);
    runs += 2;
  }

  // Random texts drawn mostly from separators and a few letters, so that the
  // token counts around five and one are hit often; now and then any code
  // unit at all.
  std::mt19937 rng(20240611u);
  const char16_t alphabet[] = u"##&&&aAzZ_0{}\\";
  const size_t alphabetSize = sizeof(alphabet) / sizeof(alphabet[0]) - 1;
  for (int i = 0; i < 5000; ++i) {
    std::u16string text;
    const size_t length = rng() % 64;
    for (size_t k = 0; k < length; ++k) {
      if (rng() % 16 == 0) {
        text += static_cast<char16_t>(rng() & 0xffff);
      } else {
        text += alphabet[rng() % alphabetSize];
      }
    }
    Run(text, i % 7 == 0);
    ++runs;
  }
  std::printf("device_path_fuzz: %zu inputs passed\n", runs);
  return 0;
}
