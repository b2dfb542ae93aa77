#include "cards/card_server.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "cards/card_connection.h"
#include "cards/card_exchange.h"
#include "cards/card_routes.h"
#include "cards/rate_limit.h"
#include "cards/request_guard.h"
#include "store/field_list.h"
#include "ui/pages.h"

namespace {

// A phone that has just submitted keeps its connection open and holds a
// request thread while it idles, so the pool is sized for a crowd of phones
// and idle connections are let go quickly.
constexpr size_t kRequestThreads = 256;
// One phone needs one or two connections; a few more leave room for a
// browser's spares, and no one address can take the pool.
constexpr int kConnectionsPerSource = 16;
// Enough for a phone that mistypes often; far too few to walk the numbers.
constexpr int kLookupsPerMinute = 30;
// The library listens with a backlog of 5, which drops connections when a
// room full of phones connects at once.
constexpr int kListenBacklog = 128;

const char kHealthBody[] = R"({"status":"ok"})";
const char kNotFoundBody[] = R"({"error":"Not Found"})";
const char kTooManyBody[] = R"({"error":"Too Many Requests"})";
const char kJson[] = "application/json";

// The library's own settings stay as a second line behind the connection's
// checks, which see every request first.
constexpr time_t kReadWriteTimeoutSeconds = 5;

// The server at the socket: every connection is served through
// serve_card_connection, which hands the library only whole, checked
// requests. Also closes the listening socket at any moment after binding
// (the library's stop() does nothing until its loop has begun, and a stop
// that comes early must not be lost).
class CardHttpServer : public httplib::Server {
 public:
  void close_listener() {
    stop_signal_.raise();
    int sock = svr_sock_.exchange(INVALID_SOCKET);
    if (sock == INVALID_SOCKET) return;
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
  }
  // Listening again on a listening socket only changes its backlog.
  void widen_backlog(int backlog) {
    int sock = svr_sock_;
    if (sock != INVALID_SOCKET) ::listen(sock, backlog);
  }

 private:
  bool process_and_close_socket(socket_t sock) override {
    std::string source = peer_address(sock);
    if (stop_signal_.raised() || !connections_.enter(source)) {
      ::close(sock);
      return false;
    }
    // Answers go out in two writes (head, body); without this the second
    // waits for the phone's delayed acknowledgement.
    int yes = 1;
    setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    serve_card_connection(sock, limits_, stop_signal_,
                          [this](httplib::Stream& stream, bool last, bool& closed) {
                            return process_request(stream, last, closed, nullptr);
                          });
    connections_.leave(source);
    return true;
  }

  StopSignal stop_signal_;
  ConnectionCounter connections_{kConnectionsPerSource};
  ConnectionLimits limits_;
};

// The answers the card routes make themselves; the error handler leaves them.
bool is_own_answer(const httplib::Response& res) {
  return (res.status == 408 && res.body == kCardTimeoutBody) ||
         (res.status == 500 && res.body == kCardInternalErrorBody) ||
         (res.status == 503 && res.body == kCardBusyBody) ||
         (res.status == 429 && res.body == kTooManyBody);
}

// The library calls this for every answer of status 400 or more.
httplib::Server::HandlerResponse answer_error(const httplib::Request&, httplib::Response& res) {
  if (is_own_answer(res)) return httplib::Server::HandlerResponse::Unhandled;
  res.status = 404;
  res.set_content(kNotFoundBody, kJson);
  return httplib::Server::HandlerResponse::Handled;
}

// What an API route's handler shares with the other request threads.
struct ApiState {
  RequestQueue& queue;
  PendingCardRequests& pending;
  RateLimit lookups{kLookupsPerMinute};
};

// Answers an API route through the worker.
void answer_card_request(ApiState& api, const CardApiRoute& route, const httplib::Request& req,
                         httplib::Response& res) {
  res.set_header("Cache-Control", "no-store");
  // req.remote_addr is the socket's peer, never a header.
  if (route.kind == CardApiRoute::kLookup && !api.lookups.allow(req.remote_addr)) {
    res.status = 429;
    res.set_content(kTooManyBody, kJson);
    return;
  }
  std::string argument = route.kind == CardApiRoute::kWrite
                             ? req.remote_addr + kFieldSeparator + req.body
                             : req.body;
  CardResponse answer = run_card_exchange(api.queue, api.pending, route.command, argument);
  res.status = answer.status;
  res.set_content(answer.body, answer.content_type.c_str());
}

void add_page_route(httplib::Server& server, const char* path, std::string_view body,
                    const char* content_type) {
  server.Get(path, [body, content_type](const httplib::Request&, httplib::Response& res) {
    res.status = 200;
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Content-Security-Policy", "frame-ancestors 'none'");
    res.set_content(body.data(), body.size(), content_type);
  });
}

// Only SO_REUSEADDR: the library's default SO_REUSEPORT would let a second
// server share a port that is already taken and split the phones between them.
void set_listener_options(int sock) {
  int yes = 1;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

void configure(httplib::Server& server, ApiState& api) {
  // What the answers' Keep-Alive header tells the phone; the connection
  // enforces it.
  ConnectionLimits limits;
  server.set_keep_alive_timeout(std::chrono::duration_cast<std::chrono::seconds>(limits.idle).count());
  server.set_keep_alive_max_count(limits.max_requests);
  server.set_read_timeout(kReadWriteTimeoutSeconds, 0);
  server.set_write_timeout(kReadWriteTimeoutSeconds, 0);
  server.set_tcp_nodelay(true);
  server.set_payload_max_length(kMaxBodyBytes);
  server.set_socket_options(set_listener_options);
  server.new_task_queue = [] { return new httplib::ThreadPool(kRequestThreads); };
  add_page_route(server, kPlacingPagePath, ui::placing_page, "text/html");
  add_page_route(server, kReasonsPagePath, ui::reasons_page, "text/html");
  add_page_route(server, kHealthPath, kHealthBody, kJson);
  for (const CardApiRoute& route : kCardApiRoutes) {
    server.Post(route.path, [&api, &route](const httplib::Request& req, httplib::Response& res) {
      answer_card_request(api, route, req, res);
    });
  }
  server.set_error_handler(httplib::Server::HandlerWithResponse(answer_error));
}

// What the card-server thread shares with the thread that stops it.
struct ServerState {
  ServerState(RequestQueue& queue, PendingCardRequests& pending) : api{queue, pending} {}
  ApiState api;
  std::atomic<bool> listening{false};
  // Guards `server`, `stop_requested` and `finished`: a stop reaches the
  // server only while the server thread has not yet released it.
  std::mutex server_mutex;
  std::condition_variable finished_cond;
  CardHttpServer* server = nullptr;
  bool stop_requested = false;
  bool finished = false;
};

void run_server(ServerState& state, int port) {
  auto server = std::make_unique<CardHttpServer>();
  configure(*server, state.api);
  if (!server->bind_to_port("0.0.0.0", port)) return;
  server->widen_backlog(kListenBacklog);
  {
    std::lock_guard<std::mutex> lock(state.server_mutex);
    if (state.stop_requested) return;
    state.server = server.get();
  }
  state.listening = true;
  server->listen_after_bind();
  state.listening = false;
  std::lock_guard<std::mutex> lock(state.server_mutex);
  state.server = nullptr;
}  // the server is destroyed here, out of stop()'s reach

// The card-server thread: builds, binds and runs the server until stopped;
// a port that cannot be bound ends the thread at once.
void http_server_func(ServerState& state, int port) {
  run_server(state, port);
  std::lock_guard<std::mutex> lock(state.server_mutex);
  state.finished = true;
  state.finished_cond.notify_all();
}

}  // namespace

struct CardServer::Impl {
  Impl(RequestQueue& queue, PendingCardRequests& pending) : state(queue, pending) {}
  ServerState state;
  std::thread thread;
};

CardServer::CardServer(RequestQueue& queue, PendingCardRequests& pending)
    : impl_(new Impl(queue, pending)) {}

CardServer::~CardServer() {
  stop();
  join();
}

void CardServer::start(int port) {
  if (impl_->thread.joinable()) return;
  impl_->thread = std::thread(http_server_func, std::ref(impl_->state), port);
}

void CardServer::stop() {
  ServerState& state = impl_->state;
  std::lock_guard<std::mutex> lock(state.server_mutex);
  state.stop_requested = true;
  if (state.server) state.server->close_listener();
}

void CardServer::join() {
  if (impl_->thread.joinable()) impl_->thread.join();
}

bool CardServer::join_for(std::chrono::milliseconds limit) {
  if (!impl_->thread.joinable()) return true;
  ServerState& state = impl_->state;
  {
    std::unique_lock<std::mutex> lock(state.server_mutex);
    if (!state.finished_cond.wait_for(lock, limit, [&state] { return state.finished; }))
      return false;
  }
  impl_->thread.join();
  return true;
}

bool CardServer::is_listening() const { return impl_->state.listening; }
