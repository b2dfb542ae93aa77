// Runs the fuzz target without libFuzzer: every file named on the command
// line, then a fixed number of generated inputs from a fixed seed, so a
// failure repeats.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// Inputs shaped like what arrives: messages, FieldLists, numbers, JSON.
std::string generate(std::mt19937& rng) {
  static const char* pieces[] = {
      ":", "\x1f", "none", "0", "-", "+", "1234", "4321", "2147483648", "99999999999999999999",
      "save_division", "fetch_divisions", "\"", "\\", "\\u", "\\ud800", "\\udc00", "<img>", "\xff",
      "\xc3", "\xe2\x80\xa8", "\xf0\x9f\x90\x84", " ", "\n", "\0", "echo", "12x", "http_"};
  std::string out;
  int count = rng() % 24;
  for (int i = 0; i < count; ++i) {
    if (rng() % 4 == 0)
      out += static_cast<char>(rng() % 256);
    else
      out += pieces[rng() % (sizeof pieces / sizeof *pieces)];
  }
  if (rng() % 3 == 0) out = "\"" + out + "\"";
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string data = buffer.str();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    ++files;
  }
  std::mt19937 rng(20261210);
  const int kRuns = 200000;
  for (int run = 0; run < kRuns; ++run) {
    std::string data = generate(rng);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  }
  printf("fuzz driver: %d files and %d generated inputs, no property broken\n", files, kRuns);
  return 0;
}
