// The checks a card request's head must pass before its body is read: size
// and line limits, framing the server accepts, and a Host and Origin that
// name this server by address (a name could be rebound by DNS to this
// computer and let a foreign page read the answers).
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Request line plus header lines, the blank line included, in bytes.
constexpr size_t kMaxHeadBytes = 8192;
// Header lines after the request line.
constexpr size_t kMaxHeaderLines = 50;
// A card body is two or three short numbers.
constexpr size_t kMaxBodyBytes = 4096;

// A refusal: the status and its {"error":"..."} body. Status 0 means none.
struct Refusal {
  int status = 0;
  std::string body;
  explicit operator bool() const { return status != 0; }
};

// What a head that passed says about the rest of the request.
struct HeadVerdict {
  Refusal refusal;           // set when the request must be refused
  size_t body_bytes = 0;     // Content-Length, 0 when absent
};

// The refusal for a head that outgrew kMaxHeadBytes before its blank line.
Refusal head_too_large();

// Checks a whole head (`head` ends with the blank line's CRLF). Refusals, the
// first that applies: 431 for more than kMaxHeadBytes or kMaxHeaderLines;
// 400 for a repeated or unreadable Host or Content-Length, or any
// Transfer-Encoding; 403 for a Host that is not an IP literal or
// "localhost" (optional :port), or an Origin present and not "http://" +
// Host; 415 for a Content-Encoding; 411 for a POST without Content-Length;
// 413 for a Content-Length over kMaxBodyBytes. Header names are matched
// without regard to case. A head that is not HTTP enough to check (no
// request line) passes, for the library to refuse.
HeadVerdict check_request_head(std::string_view head);

// True for "127.0.0.1", "[::1]", "localhost" and those with ":port"
// (1 to 5 digits); false for names and anything else.
bool is_address_host(std::string_view host);
