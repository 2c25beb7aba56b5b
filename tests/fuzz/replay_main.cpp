// Deterministic stand-in for the fuzzing engine, linked with one fuzz
// target: feeds it every file of the folders named on the command line (the
// committed corpus and the crash inputs found so far), then a fixed number
// of seeded mutations of each (bytes flipped, inserted, deleted, repeated,
// cut), so the target's invariants run in every native build. A failed
// invariant aborts; a missing or empty folder fails the run, so a replay
// never passes by testing nothing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int kMutationsPerInput = 200;

void Run(const Bytes& input) {
  // A copy of exactly the input's size, so reading past it is caught.
  const std::unique_ptr<uint8_t[]> copy(new uint8_t[input.size() + 1]);
  std::copy(input.begin(), input.end(), copy.get());
  LLVMFuzzerTestOneInput(copy.get(), input.size());
}

Bytes Mutate(Bytes b, std::mt19937& rng) {
  static const uint8_t kInteresting[] = {0,   '\n', '\r', ' ',  '\'', '{',  '}',  '=',
                                         '#', '&',  '%',  '0',  '9',  'x',  '-',  '.',
                                         'e', 0x7F, 0x80, 0xC2, 0xEF, 0xBB, 0xBF, 0xFF};
  const int steps = 1 + static_cast<int>(rng() % 4);
  for (int s = 0; s < steps; ++s) {
    const size_t at = b.empty() ? 0 : rng() % (b.size() + 1);
    switch (rng() % 6) {
      case 0:
        if (at < b.size()) b[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
      case 1:
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(at),
                 kInteresting[rng() % sizeof kInteresting]);
        break;
      case 2:
        if (at < b.size()) b.erase(b.begin() + static_cast<std::ptrdiff_t>(at));
        break;
      case 3:
        if (at < b.size()) b[at] = kInteresting[rng() % sizeof kInteresting];
        break;
      case 4: {  // repeat a piece
        if (at >= b.size()) break;
        const size_t length = std::min<size_t>(1 + rng() % 16, b.size() - at);
        const Bytes piece(b.begin() + static_cast<std::ptrdiff_t>(at),
                          b.begin() + static_cast<std::ptrdiff_t>(at + length));
        for (unsigned n = rng() % 8; n > 0; --n) {
          b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), piece.begin(), piece.end());
        }
        break;
      }
      default: b.resize(at); break;
    }
  }
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    size_t found = 0;
    for (const auto& entry : fs::directory_iterator(argv[i], ec)) {
      if (entry.is_regular_file()) {
        files.push_back(entry.path());
        ++found;
      }
    }
    if (ec || found == 0) {
      std::fprintf(stderr, "replay: no inputs in %s\n", argv[i]);
      return 1;
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: %s FOLDER...\n", argv[0]);
    return 1;
  }
  std::sort(files.begin(), files.end());
  size_t runs = 0;
  for (size_t f = 0; f < files.size(); ++f) {
    std::ifstream in(files[f], std::ios::binary);
    const Bytes input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Run(input);
    ++runs;
    std::mt19937 rng(static_cast<uint32_t>(20240611u + f));
    for (int m = 0; m < kMutationsPerInput; ++m) {
      Run(Mutate(input, rng));
      ++runs;
    }
  }
  std::printf("replay: %zu inputs from %zu files passed\n", runs, files.size());
  return 0;
}
