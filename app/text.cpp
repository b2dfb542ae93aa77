#include "app/text.h"

#include <cstdint>

namespace utf8 {

void append(std::string& out, char32_t c) {
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

char32_t next(const std::string& s, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int length;
  char32_t c;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2, c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3, c = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4, c = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    ++i;
    return utf8::kReplacement;
  }
  ++i;
  for (int k = 1; k < length; ++k) {
    if (i >= s.size()) return utf8::kReplacement;
    unsigned char b = byte(i);
    if (b < lo || b > hi) return utf8::kReplacement;
    lo = 0x80, hi = 0xBF;
    c = (c << 6) | (b & 0x3F);
    ++i;
  }
  return c;
}

}  // namespace utf8

std::pair<std::string, std::string> split_at_first_colon(const std::string& text) {
  size_t colon = text.find(':');
  if (colon == std::string::npos) return {text, std::string()};
  return {text.substr(0, colon), text.substr(colon + 1)};
}

std::string make_valid_utf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) utf8::append(out, utf8::next(text, i));
  return out;
}

std::string quote_js_string(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    char32_t c = utf8::next(text, i);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F || c == '<' || c == 0x2028 || c == 0x2029) {
          out += "\\u";
          for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
        } else {
          utf8::append(out, c);
        }
    }
  }
  out += '"';
  return out;
}

namespace {

bool read_hex4(const std::string& s, size_t& i, char32_t* value) {
  if (i + 4 > s.size()) return false;
  char32_t v = 0;
  for (int k = 0; k < 4; ++k) {
    char ch = s[i + k];
    v <<= 4;
    if (ch >= '0' && ch <= '9') v |= ch - '0';
    else if (ch >= 'a' && ch <= 'f') v |= ch - 'a' + 10;
    else if (ch >= 'A' && ch <= 'F') v |= ch - 'A' + 10;
    else return false;
  }
  i += 4;
  *value = v;
  return true;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool parse_json_string(const std::string& s, std::string* out) {
  size_t i = 0;
  while (i < s.size() && is_blank(s[i])) ++i;
  if (i >= s.size() || s[i] != '"') return false;
  ++i;
  std::string result;
  for (;;) {
    if (i >= s.size()) return false;
    char ch = s[i++];
    if (ch == '"') break;
    if (static_cast<unsigned char>(ch) < 0x20) return false;
    if (ch != '\\') {
      result += ch;
      continue;
    }
    if (i >= s.size()) return false;
    char esc = s[i++];
    switch (esc) {
      case '"': result += '"'; break;
      case '\\': result += '\\'; break;
      case '/': result += '/'; break;
      case 'b': result += '\b'; break;
      case 'f': result += '\f'; break;
      case 'n': result += '\n'; break;
      case 'r': result += '\r'; break;
      case 't': result += '\t'; break;
      case 'u': {
        char32_t c;
        if (!read_hex4(s, i, &c)) return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
          char32_t low;
          size_t j = i;
          if (j + 1 < s.size() && s[j] == '\\' && s[j + 1] == 'u' && (j += 2, read_hex4(s, j, &low)) &&
              low >= 0xDC00 && low <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i = j;
          } else {
            c = utf8::kReplacement;
          }
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
          c = utf8::kReplacement;
        }
        utf8::append(result, c);
        break;
      }
      default:
        return false;
    }
  }
  while (i < s.size() && is_blank(s[i])) ++i;
  if (i != s.size()) return false;
  *out = make_valid_utf8(result);
  return true;
}
