#include "cards/request_guard.h"

#include <gtest/gtest.h>

namespace {

std::string head(const std::string& request_line, const std::vector<std::string>& headers) {
  std::string text = request_line + "\r\n";
  for (const std::string& header : headers) text += header + "\r\n";
  return text + "\r\n";
}

TEST(RequestGuard, RefusesWhatTheCardServerWillNotRead) {
  const std::string post = "POST /api/save_card_placing HTTP/1.1";
  const std::string get = "GET /placing HTTP/1.1";
  const std::string host = "Host: 192.168.1.20:56780";
  std::vector<std::string> many(51, "X-A: b");
  many.insert(many.begin(), host);
  std::vector<std::string> fifty(49, "X-A: b");
  fifty.insert(fifty.begin(), host);
  struct Case {
    const char* what;
    std::string head;
    int status;
    const char* body;
    size_t body_bytes;
  } cases[] = {
      {"honest post", head(post, {host, "Content-Length: 12", "Origin: http://192.168.1.20:56780"}),
       0, "", 12},
      {"honest get", head(get, {host}), 0, "", 0},
      {"fifty header lines", head(get, fifty), 0, "", 0},
      {"loopback and localhost", head(get, {"host: LOCALHOST"}), 0, "", 0},
      {"ipv6 literal", head(get, {"Host: [::1]:56780", "Origin: http://[::1]:56780"}), 0, "", 0},
      {"largest body", head(post, {host, "Content-Length: 4096"}), 0, "", 4096},
      {"no length", head(post, {host}), 411, R"({"error":"Length Required"})", 0},
      {"chunked", head(post, {host, "Transfer-Encoding: chunked"}), 400, R"({"error":"Bad Request"})", 0},
      {"chunked and length", head(post, {host, "Content-Length: 3", "transfer-encoding: chunked"}),
       400, R"({"error":"Bad Request"})", 0},
      {"two lengths", head(post, {host, "Content-Length: 3", "Content-Length: 4"}), 400,
       R"({"error":"Bad Request"})", 0},
      {"signed length", head(post, {host, "Content-Length: -1"}), 400, R"({"error":"Bad Request"})", 0},
      {"gzip", head(post, {host, "Content-Length: 3", "Content-Encoding: gzip"}), 415,
       R"({"error":"Unsupported Media Type"})", 0},
      {"too long", head(post, {host, "Content-Length: 4097"}), 413, R"({"error":"Payload Too Large"})", 0},
      {"huge", head(post, {host, "Content-Length: 99999999999"}), 400, R"({"error":"Bad Request"})", 0},
      {"51 header lines", head(get, many), 431, R"({"error":"Request Header Fields Too Large"})", 0},
      {"8 KiB", head(get, {host, "X-Big: " + std::string(8192, 'a')}), 431,
       R"({"error":"Request Header Fields Too Large"})", 0},
      {"name as host", head(post, {"Host: evil.example", "Content-Length: 3"}), 403,
       R"({"error":"Forbidden"})", 0},
      {"name with port", head(get, {"Host: evil.example:56780"}), 403, R"({"error":"Forbidden"})", 0},
      {"no host", head(get, {}), 403, R"({"error":"Forbidden"})", 0},
      {"two hosts", head(get, {host, "Host: 127.0.0.1"}), 400, R"({"error":"Bad Request"})", 0},
      {"foreign origin", head(post, {host, "Content-Length: 3", "Origin: http://evil.example"}), 403,
       R"({"error":"Forbidden"})", 0},
      {"origin of another port", head(get, {host, "Origin: http://192.168.1.20:8080"}), 403,
       R"({"error":"Forbidden"})", 0},
      {"null origin", head(get, {host, "Origin: null"}), 403, R"({"error":"Forbidden"})", 0},
  };
  for (const Case& c : cases) {
    HeadVerdict verdict = check_request_head(c.head);
    EXPECT_EQ(verdict.refusal.status, c.status) << c.what;
    EXPECT_EQ(verdict.refusal.body, c.body) << c.what;
    if (!verdict.refusal) {
      EXPECT_EQ(verdict.body_bytes, c.body_bytes) << c.what;
    }
  }
}

TEST(RequestGuard, HostsThatNameThisServerByAddress) {
  for (const char* host : {"127.0.0.1", "192.168.1.20:56780", "localhost", "localhost:1",
                           "[::1]", "[fe80::1]:56780", "10.0.0.255:65535"})
    EXPECT_TRUE(is_address_host(host)) << host;
  for (const char* host : {"", "evil.example", "127.0.0.1.nip.io", "127.1", "1.2.3.4:", "1.2.3.4:x",
                           "1.2.3.4:123456", "[::1", "::1", "[::1]x", "localhost.evil", "0x7f.0.0.1",
                           "[evil]"})
    EXPECT_FALSE(is_address_host(host)) << host;
}

}  // namespace
