// The card HTTP server: the two phone pages, /health, and the four card API
// routes of card_routes.h, each answered through the worker within 10
// seconds (408 after that, 500 on an internal failure); anything else
// answers 404 {"error":"Not Found"}. Read and write time-outs are 5 s; 256 request
// threads, a 2-second keep-alive and a 4 KiB body cap suit a room of phones.
#pragma once
#include <memory>
#include <string>
#include <thread>

struct RequestQueue;
struct PendingCardRequests;

class CardServer {
 public:
  // Card requests go into `queue`; their exchanges wait in `pending`, which
  // the worker answers. Both outlive the server.
  CardServer(RequestQueue& queue, PendingCardRequests& pending);
  ~CardServer();  // stops and joins
  CardServer(const CardServer&) = delete;
  CardServer& operator=(const CardServer&) = delete;

  // Starts the card-server thread listening on 0.0.0.0:`port` (1..65535).
  // A port that cannot be bound, another card server's included, ends that
  // thread; the rest of the application goes on. Later calls do nothing.
  void start(int port);
  // Asks the server to stop; safe from any thread, at any time, repeatedly.
  void stop();
  // Waits for the card-server thread (after stop, at most the 10-second wait
  // of a request in flight).
  void join();
  // True once the server is listening (for tests and diagnostics).
  bool is_listening() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
