// Fuzz target for everything that reads untrusted text: page messages, JSON
// lines, FieldLists, integer fields and the placing score. Each input must
// neither crash nor break the properties checked below.
//
// Built two ways: with clang's libFuzzer (tools/fuzz/run-libfuzzer) for long
// runs, and with the plain driver in fuzz_driver.cpp for the test suite.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "app/bridge.h"
#include "app/text.h"
#include "scoring/placing_score.h"
#include "store/database.h"

namespace {

void check(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "property broken: %s\n", what);
    abort();
  }
}

void fuzz_fields(const std::string& text) {
  std::vector<std::string> parts = split_fields(text);
  std::string joined;
  for (size_t i = 0; i < parts.size(); ++i) {
    check(parts[i].find('\x1f') == std::string::npos, "a field holds a separator");
    joined += (i ? "\x1f" : "") + parts[i];
  }
  // Joining gives the text back, less at most one trailing separator.
  check(joined == text || joined + "\x1f" == text, "fields lost");
  for (const std::string& part : parts) {
    try {
      (void)read_int(part);
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {
    }
  }
}

void fuzz_text(const std::string& text) {
  std::string valid = make_valid_utf8(text);
  check(utf16_to_utf8(utf8_to_utf16(text)) == valid, "utf round trip");
  std::string quoted = quote_js_string(text), back;
  check(parse_json_string(quoted, &back) && back == valid, "quote/parse round trip");
  check(quoted.find('<') == std::string::npos, "unescaped < in a script literal");
  std::string parsed;
  if (parse_json_string(text, &parsed)) check(make_valid_utf8(parsed) == parsed, "bad UTF-8 out");
  auto [head, tail] = split_at_first_colon(text);
  check(head.find(':') == std::string::npos, "colon in reply id");
  check(head.size() + tail.size() + (text.find(':') != std::string::npos) == text.size(),
        "split lost bytes");
}

void fuzz_score(const uint8_t* data, size_t size) {
  if (size < 12) return;
  int32_t v[3];
  memcpy(v, data, sizeof v);
  int score = score_placing(v[0], v[1], v[2]);
  check(score >= 0 && score <= 50, "score out of range");
  if (v[0] == 0) check(score == 0, "placing 0 scores");
  // Small values: the shapes that reach the pass.
  int placing = 1000 + std::abs(v[0] % 9000), official = 1000 + std::abs(v[1] % 9000);
  int cuts = std::abs(v[2] % 1000);
  int small = score_placing(placing, official, cuts);
  check(small >= 0 && small <= 50, "score out of range");
}

void fuzz_commands(const std::string& text) {
  // Unknown names and stray colons must come back as ordinary results.
  CommandTable table;
  table.commands["echo"] = [](const std::string& a) { return a; };
  std::string result = run_command(table, text);
  auto [name, argument] = split_at_first_colon(text);
  check(name == "echo" ? result == argument : result == "ERROR:Unknown function.", "dispatch");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  fuzz_fields(text);
  fuzz_text(text);
  fuzz_score(data, size);
  fuzz_commands(text);
  return 0;
}
