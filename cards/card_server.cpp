#include "cards/card_server.h"

#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include "cards/card_exchange.h"
#include "cards/card_routes.h"
#include "store/field_list.h"
#include "ui/pages.h"

namespace {

constexpr time_t kReadWriteTimeoutSeconds = 5;
// A phone that has just submitted keeps its connection open and holds a
// request thread while it idles, so the pool is sized for a crowd of phones
// and idle connections are let go quickly.
constexpr size_t kRequestThreads = 256;
constexpr time_t kKeepAliveSeconds = 2;
constexpr size_t kKeepAliveRequests = 100;
// The library listens with a backlog of 5, which drops connections when a
// room full of phones connects at once.
constexpr int kListenBacklog = 128;
// A card body is two or three short numbers.
constexpr size_t kMaxBodyBytes = 4096;

const char kHealthBody[] = R"({"status":"ok"})";
const char kNotFoundBody[] = R"({"error":"Not Found"})";
const char kJson[] = "application/json";

// The library's stop() does nothing until its listening loop has begun; this
// closes the listening socket at any moment after binding, so a stop that
// comes early is never lost.
class CardHttpServer : public httplib::Server {
 public:
  void close_listener() {
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
};

// The writes are logged with the phone's address, which only the socket
// knows: it goes to the command as the first field.
bool is_card_write(const std::string& command) {
  return command == "save_card_placing" || command == "save_card_reasons";
}

// Answers an API route through the worker.
void answer_card_request(RequestQueue& queue, PendingCardRequests& pending,
                         const std::string& command, const httplib::Request& req,
                         httplib::Response& res) {
  std::string argument =
      is_card_write(command) ? req.remote_addr + kFieldSeparator + req.body : req.body;
  CardResponse answer = run_card_exchange(queue, pending, command, argument);
  res.status = answer.status;
  res.set_content(answer.body, answer.content_type.c_str());
}

// The library calls this for every answer of status 400 or more, the API
// routes' own 408 and 500 included: those keep their bodies.
httplib::Server::HandlerResponse answer_error(const httplib::Request&, httplib::Response& res) {
  bool own_answer = (res.status == 408 && res.body == kCardTimeoutBody) ||
                    (res.status == 500 && res.body == kCardInternalErrorBody);
  if (own_answer) return httplib::Server::HandlerResponse::Unhandled;
  res.status = 404;
  res.set_content(kNotFoundBody, kJson);
  return httplib::Server::HandlerResponse::Handled;
}

void add_page_route(httplib::Server& server, const char* path, std::string_view body,
                    const char* content_type) {
  server.Get(path, [body, content_type](const httplib::Request&, httplib::Response& res) {
    res.status = 200;
    res.set_content(body.data(), body.size(), content_type);
  });
}

// Only SO_REUSEADDR: the library's default SO_REUSEPORT would let a second
// server share a port that is already taken and split the phones between them.
void set_listener_options(int sock) {
  int yes = 1;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

void configure(httplib::Server& server, RequestQueue& queue, PendingCardRequests& pending) {
  server.set_read_timeout(kReadWriteTimeoutSeconds, 0);
  server.set_write_timeout(kReadWriteTimeoutSeconds, 0);
  server.set_keep_alive_timeout(kKeepAliveSeconds);
  server.set_keep_alive_max_count(kKeepAliveRequests);
  server.set_tcp_nodelay(true);
  server.set_payload_max_length(kMaxBodyBytes);
  server.set_socket_options(set_listener_options);
  server.new_task_queue = [] { return new httplib::ThreadPool(kRequestThreads); };
  add_page_route(server, kPlacingPagePath, ui::placing_page, "text/html");
  add_page_route(server, kReasonsPagePath, ui::reasons_page, "text/html");
  add_page_route(server, kHealthPath, kHealthBody, kJson);
  for (const CardApiRoute& route : kCardApiRoutes) {
    std::string command = route.command;
    server.Post(route.path, [&queue, &pending, command](const httplib::Request& req,
                                                        httplib::Response& res) {
      answer_card_request(queue, pending, command, req, res);
    });
  }
  server.set_error_handler(httplib::Server::HandlerWithResponse(answer_error));
}

// What the card-server thread shares with the thread that stops it.
struct ServerState {
  ServerState(RequestQueue& q, PendingCardRequests& p) : queue(q), pending(p) {}
  RequestQueue& queue;
  PendingCardRequests& pending;
  std::atomic<bool> listening{false};
  // Guards `server` and `stop_requested`: a stop reaches the server only
  // while the server thread has not yet released it.
  std::mutex server_mutex;
  CardHttpServer* server = nullptr;
  bool stop_requested = false;
};

// The card-server thread: builds, binds and runs the server until stopped;
// a port that cannot be bound ends the thread at once.
void http_server_func(ServerState& state, int port) {
  auto server = std::make_unique<CardHttpServer>();
  configure(*server, state.queue, state.pending);
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

bool CardServer::is_listening() const { return impl_->state.listening; }
