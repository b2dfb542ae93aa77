#include "app/page_server.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <random>
#include <thread>

#include "app/text.h"
#include "cards/listen_socket.h"

namespace {

constexpr time_t kReadWriteTimeoutSeconds = 5;
constexpr time_t kKeepAliveSeconds = 2;
// One page, its message posts and its one reply stream; a stream superseded
// by a newer one gives its thread back.
constexpr size_t kRequestThreads = 8;
// The largest message the page sends is a few lines of names.
constexpr size_t kMaxMessageBytes = 1 << 20;
// Replies wait here while the page is not reading; past this the oldest
// are dropped, so a page that never reads cannot grow the application.
constexpr size_t kMaxWaitingReplyBytes = 64 << 20;
// Replies already written stay a little while, for a stream that the
// browser reconnects after a broken connection (Last-Event-ID).
constexpr size_t kResendableReplies = 64;
constexpr auto kStreamKeepAlive = std::chrono::seconds(15);

const char kLoopback[] = "127.0.0.1";

// Installed before the page's own scripts; `page` is the number of this
// page load, which every post and the reply stream carry. Posts go one at a
// time so the host sees them in the order they were made.
const char kMessagingScript[] = R"JS(
(function (page) {
  'use strict';
  if (window.chrome && window.chrome.webview) return;
  const listeners = new EventTarget();
  let posts = Promise.resolve();
  let elsewhere = false;
  const replies = new EventSource('replies?page=' + page);
  function showElsewhere() {
    if (elsewhere) return;
    elsewhere = true;
    replies.close();
    const show = () => {
      const note = document.createElement('p');
      note.textContent = 'Ringtally is open in another window.';
      note.style.margin = '2em';
      document.body.replaceChildren(note);
    };
    if (document.body) show(); else document.addEventListener('DOMContentLoaded', show);
  }
  replies.onmessage = (event) => {
    if (!elsewhere) listeners.dispatchEvent(new MessageEvent('message', { data: JSON.parse(event.data) }));
  };
  replies.addEventListener('superseded', showElsewhere);
  // A stream refused outright (not merely broken) means this page is no
  // longer the one the host serves.
  replies.onerror = () => { if (replies.readyState === EventSource.CLOSED) showElsewhere(); };
  const webview = {
    postMessage(message) {
      if (elsewhere) return;
      const body = typeof message === 'string' ? message.toWellFormed() : String(message);
      posts = posts
        .then(() => fetch('message?page=' + page, {
          method: 'POST', body, headers: { 'Content-Type': 'text/plain;charset=UTF-8' } }))
        .then((response) => { if (response.status === 409) showElsewhere(); })
        .catch(() => {});
    },
    addEventListener(type, listener, options) { listeners.addEventListener(type, listener, options); },
    removeEventListener(type, listener, options) { listeners.removeEventListener(type, listener, options); },
  };
  Object.freeze(webview);
  if (!window.chrome) window.chrome = {};
  Object.defineProperty(window.chrome, 'webview', { value: webview, enumerable: true });
})
)JS";

std::string random_secret() {
  static const char kHex[] = "0123456789abcdef";
  std::random_device source;
  std::string secret;
  for (int i = 0; i < 4; ++i) {
    uint32_t word = source();
    for (int k = 0; k < 8; ++k, word >>= 4) secret += kHex[word & 0xF];
  }
  return secret;  // 128 bits
}

// The library's stop() does nothing until its listening loop has begun; this
// closes the listening socket at any moment after binding.
class PageHttpServer : public httplib::Server {
 public:
  void close_listener() {
    socket_t sock = svr_sock_.exchange(INVALID_SOCKET);
    if (sock == INVALID_SOCKET) return;
    close_listening_socket(sock);
  }
};

bool parse_number(const std::string& text, unsigned long long* value) {
  if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *value = std::stoull(text);
  return true;
}

struct Reply {
  unsigned long long sequence;
  std::string text;
};

}  // namespace

struct PageServer::Impl {
  Impl(Core& c, std::string_view p) : core(c), page(p), secret(random_secret()) {}

  SocketLibrary sockets;  // first made, last gone
  Core& core;
  const std::string_view page;
  const std::string secret;
  int port = 0;
  PageHttpServer server;
  std::thread thread;

  // Guards everything below; never held while writing to the network.
  std::mutex mutex;
  std::condition_variable changed;
  unsigned long long generation = 0;  // the page load being served; 0 before the first
  std::deque<unsigned long long> request_pages;  // page load of each request the worker owes
  std::deque<Reply> replies;  // the current page's: a few written, then the waiting ones
  size_t waiting_bytes = 0;
  unsigned long long next_sequence = 1;
  unsigned long long written_up_to = 0;  // highest sequence a stream has written
  unsigned long long stream = 0;         // the open reply stream; a newer one ends it
  bool stopping = false;
  // Held from the check of a post to its push onto the queue, so the worker
  // answers posts in the order request_pages lists them.
  std::mutex post_mutex;

  std::string base() const { return "/" + secret + "/"; }
  std::string origin() const { return "http://" + std::string(kLoopback) + ":" + std::to_string(port); }

  bool allowed(const httplib::Request& req) const {
    if (req.get_header_value("Host") != std::string(kLoopback) + ":" + std::to_string(port)) return false;
    if (req.has_header("Origin") && req.get_header_value("Origin") != origin()) return false;
    const std::string root = base();
    if (req.method == "GET") return req.path == root || req.path == root + "replies";
    if (req.method == "POST") return req.path == root + "message";
    return false;
  }

  // The page load a request names, if it is the one being served.
  bool is_current(const httplib::Request& req, unsigned long long* page_load) {
    unsigned long long value;
    if (!parse_number(req.get_param_value("page"), &value)) return false;
    std::lock_guard<std::mutex> lock(mutex);
    *page_load = value;
    return !stopping && value == generation;
  }

  void serve_page(httplib::Response& res) {
    unsigned long long load;
    {
      std::lock_guard<std::mutex> lock(mutex);
      load = ++generation;
      replies.clear();
      waiting_bytes = 0;
      ++stream;
    }
    changed.notify_all();
    res.set_header("Cache-Control", "no-store");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_content(page_with_messaging(page, load), "text/html; charset=utf-8");
  }

  void take_message(const httplib::Request& req, httplib::Response& res) {
    std::lock_guard<std::mutex> order(post_mutex);
    unsigned long long load;
    if (!is_current(req, &load)) {
      res.status = 409;
      res.set_content("This page is no longer the one Ringtally serves.", "text/plain");
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      request_pages.push_back(load);
    }
    on_web_message(core, make_valid_utf8(req.body));
    res.status = 204;
  }

  // Writes what the stream owes: waiting replies, the notice that the page
  // was superseded, or a keep-alive comment. False ends the stream.
  bool write_stream(unsigned long long load, unsigned long long own_stream,
                    unsigned long long& cursor, httplib::DataSink& sink) {
    std::string out;
    bool end = false;
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait_for(lock, kStreamKeepAlive, [&] {
        return stopping || stream != own_stream || (!replies.empty() && replies.back().sequence > cursor);
      });
      if (stopping || stream != own_stream) {
        end = true;
        if (!stopping && generation != load) out = "event: superseded\ndata:\n\n";
      } else {
        for (const Reply& reply : replies) {
          if (reply.sequence <= cursor) continue;
          out += "id: " + std::to_string(reply.sequence) + "\ndata: " + quote_js_string(reply.text) + "\n\n";
          cursor = reply.sequence;
        }
        mark_written(cursor);
      }
    }
    if (out.empty() && !end) out = ": keep-alive\n\n";
    if (!out.empty() && !sink.write(out.data(), out.size())) return false;
    if (end) sink.done();
    return true;
  }

  // Under `mutex`: forgets written replies beyond the few kept for a resend.
  void mark_written(unsigned long long cursor) {
    for (const Reply& reply : replies)
      if (reply.sequence > written_up_to && reply.sequence <= cursor) waiting_bytes -= reply.text.size();
    if (cursor > written_up_to) written_up_to = cursor;
    size_t written = 0;
    for (const Reply& reply : replies) written += reply.sequence <= written_up_to;
    while (written > kResendableReplies) {
      replies.pop_front();
      --written;
    }
  }

  void open_stream(const httplib::Request& req, httplib::Response& res) {
    unsigned long long load;
    if (!is_current(req, &load)) {
      res.status = 409;
      res.set_content("This page is no longer the one Ringtally serves.", "text/plain");
      return;
    }
    unsigned long long cursor = 0;
    if (req.has_header("Last-Event-ID") && !parse_number(req.get_header_value("Last-Event-ID"), &cursor))
      cursor = 0;
    unsigned long long own_stream;
    {
      std::lock_guard<std::mutex> lock(mutex);
      own_stream = ++stream;
    }
    changed.notify_all();
    res.set_header("Cache-Control", "no-store");
    bool first = true;
    res.set_chunked_content_provider(
        "text/event-stream", [this, load, own_stream, cursor, first](size_t, httplib::DataSink& sink) mutable {
          if (first) {
            first = false;
            static const char kRetry[] = "retry: 1000\n\n";
            return sink.write(kRetry, sizeof kRetry - 1);
          }
          return write_stream(load, own_stream, cursor, sink);
        });
  }

  void configure() {
    server.set_read_timeout(kReadWriteTimeoutSeconds, 0);
    server.set_write_timeout(kReadWriteTimeoutSeconds, 0);
    server.set_keep_alive_timeout(kKeepAliveSeconds);
    server.set_payload_max_length(kMaxMessageBytes);
    server.set_tcp_nodelay(true);
    server.set_socket_options(claim_listening_port);
    server.new_task_queue = [] { return new httplib::ThreadPool(kRequestThreads); };
    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
      if (allowed(req)) return httplib::Server::HandlerResponse::Unhandled;
      res.status = 403;
      res.set_content("Forbidden", "text/plain");
      return httplib::Server::HandlerResponse::Handled;
    });
    const std::string root = base();
    server.Get(root, [this](const httplib::Request&, httplib::Response& res) { serve_page(res); });
    server.Get(root + "replies",
               [this](const httplib::Request& req, httplib::Response& res) { open_stream(req, res); });
    server.Post(root + "message",
                [this](const httplib::Request& req, httplib::Response& res) { take_message(req, res); });
  }
};

PageServer::PageServer(Core& core, std::string_view page) : impl_(new Impl(core, page)) {}

PageServer::~PageServer() {
  stop();
  join();
}

bool PageServer::start(int port) {
  Impl& impl = *impl_;
  if (impl.thread.joinable() || port < 0 || port > 65535 || !impl.sockets.started()) return false;
  {
    std::lock_guard<std::mutex> lock(impl.mutex);
    if (impl.stopping) return false;
  }
  impl.configure();
  int bound = port == 0 ? impl.server.bind_to_any_port(kLoopback)
                        : (impl.server.bind_to_port(kLoopback, port) ? port : -1);
  if (bound <= 0) return false;
  impl.port = bound;
  impl.thread = std::thread([&impl] { impl.server.listen_after_bind(); });
  return true;
}

std::string PageServer::url() const {
  if (impl_->port == 0) return "";
  return impl_->origin() + impl_->base();
}

void PageServer::stop() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->changed.notify_all();
  impl_->server.close_listener();
}

void PageServer::join() {
  if (impl_->thread.joinable()) impl_->thread.join();
}

void PageServer::deliver_reply(std::string reply) {
  Impl& impl = *impl_;
  {
    std::lock_guard<std::mutex> lock(impl.mutex);
    unsigned long long load = impl.generation;
    if (!impl.request_pages.empty()) {
      load = impl.request_pages.front();
      impl.request_pages.pop_front();
    }
    if (load != impl.generation || impl.stopping) return;
    impl.waiting_bytes += reply.size();
    impl.replies.push_back({impl.next_sequence++, std::move(reply)});
    while (impl.waiting_bytes > kMaxWaitingReplyBytes && !impl.replies.empty()) {
      if (impl.replies.front().sequence > impl.written_up_to)
        impl.waiting_bytes -= impl.replies.front().text.size();
      impl.replies.pop_front();
    }
  }
  impl.changed.notify_all();
}

std::string page_with_messaging(std::string_view page, unsigned long long generation) {
  std::string script = "<script>" + std::string(kMessagingScript) + "(" + std::to_string(generation) +
                       ");</script>";
  std::string out(page);
  size_t head = out.find("<head>");
  size_t at = head == std::string::npos ? 0 : head + 6;
  out.insert(at, script);
  return out;
}
