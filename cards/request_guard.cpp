#include "cards/request_guard.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

Refusal refuse(int status, const char* reason) {
  return {status, std::string(R"({"error":")") + reason + "\"}"};
}

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view trim(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool all_digits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return c >= '0' && c <= '9';
  });
}

// One header field of the head: present, how often, its last value.
struct Field {
  explicit Field(const char* n) : name(n) {}
  const char* name;
  int count = 0;
  std::string_view value;
};

}  // namespace

Refusal head_too_large() { return refuse(431, "Request Header Fields Too Large"); }

bool is_address_host(std::string_view host) {
  std::string_view name = host;
  if (!host.empty() && host.front() == '[') {
    size_t close = host.find(']');
    if (close == std::string_view::npos) return false;
    name = host.substr(1, close - 1);
    std::string_view rest = host.substr(close + 1);
    if (!rest.empty() && (rest.front() != ':' || !all_digits(rest.substr(1)) || rest.size() > 6))
      return false;
    in6_addr v6;
    return inet_pton(AF_INET6, std::string(name).c_str(), &v6) == 1;
  }
  size_t colon = host.find(':');
  if (colon != std::string_view::npos) {
    std::string_view port = host.substr(colon + 1);
    if (!all_digits(port) || port.size() > 5) return false;
    name = host.substr(0, colon);
  }
  if (same_name(name, "localhost")) return true;
  in_addr v4;
  return inet_pton(AF_INET, std::string(name).c_str(), &v4) == 1;
}

HeadVerdict check_request_head(std::string_view head) {
  if (head.size() > kMaxHeadBytes) return {head_too_large()};
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < head.size();) {
    size_t end = head.find("\r\n", start);
    if (end == std::string_view::npos) end = head.size();
    if (end == start) break;  // the blank line
    lines.push_back(head.substr(start, end - start));
    start = end + 2;
  }
  if (lines.empty()) return {};
  if (lines.size() - 1 > kMaxHeaderLines) return {head_too_large()};

  Field host{"Host"}, origin{"Origin"}, length{"Content-Length"}, transfer{"Transfer-Encoding"},
      encoding{"Content-Encoding"};
  Field* fields[] = {&host, &origin, &length, &transfer, &encoding};
  for (size_t i = 1; i < lines.size(); ++i) {
    size_t colon = lines[i].find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = lines[i].substr(0, colon);
    for (Field* field : fields) {
      if (!same_name(name, field->name)) continue;
      ++field->count;
      field->value = trim(lines[i].substr(colon + 1));
    }
  }
  std::string_view method = lines[0].substr(0, lines[0].find(' '));

  if (transfer.count) return {refuse(400, "Bad Request")};
  if (host.count > 1 || length.count > 1 || origin.count > 1) return {refuse(400, "Bad Request")};
  if (length.count && (!all_digits(length.value) || length.value.size() > 9))
    return {refuse(400, "Bad Request")};
  if (!host.count || !is_address_host(host.value)) return {refuse(403, "Forbidden")};
  if (origin.count && origin.value != "http://" + std::string(host.value))
    return {refuse(403, "Forbidden")};
  if (encoding.count) return {refuse(415, "Unsupported Media Type")};
  if (method == "POST" && !length.count) return {refuse(411, "Length Required")};
  size_t body_bytes = length.count ? std::stoul(std::string(length.value)) : 0;
  if (body_bytes > kMaxBodyBytes) return {refuse(413, "Payload Too Large")};
  return {{}, body_bytes};
}
