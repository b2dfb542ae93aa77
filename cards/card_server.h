// The card HTTP server: the two phone pages, /health, and the four card API
// routes of card_routes.h, each answered through the worker within 10
// seconds (408 after that, 500 on an internal failure, 503 when 256 card
// requests wait already); anything else answers 404 {"error":"Not Found"}.
//
// It is the only part strangers can reach, so every request is read whole
// within 10 s of its first byte and checked before any route runs (limits
// and refusals in request_guard.h); a source address may hold 16
// connections and make 30 look-ups a minute (429 beyond); idle connections
// close after 2 s. Pages carry nosniff and frame-ancestors 'none', API
// answers Cache-Control: no-store. 256 request threads serve a room of
// phones.
#pragma once
#include <chrono>
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
  // Waits for the card-server thread. After stop, the connections end at
  // once; a request waiting for the worker ends with its 10-second wait, or
  // at once when the card exchanges are closed.
  void join();
  // As join, but gives up after `limit`: true when the thread has ended.
  bool join_for(std::chrono::milliseconds limit);
  // True once the server is listening (for tests and diagnostics).
  bool is_listening() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
