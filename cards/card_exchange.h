// One card API request's wait for the worker: filed in PendingCardRequests
// under a fresh reply id, queued, and answered with the result, a time-out
// or an internal error. No entry outlives its request.
#pragma once
#include <chrono>
#include <functional>
#include <future>
#include <string>

#include "app/bridge.h"

// Files an exchange that points at `response` under a reply id that no
// waiting exchange holds (`draw_id` is asked again while the id is taken);
// returns the id and sets `done` to the exchange's future.
std::string file_card_exchange(PendingCardRequests& pending, CardResponse& response,
                               std::future<void>* done,
                               const std::function<std::string()>& draw_id = make_card_request_id);

// Removes the entry of `reply_id` if it is still there.
void drop_card_exchange(PendingCardRequests& pending, const std::string& reply_id);

// Queues `command` with `body` as a card request and waits up to `wait`:
// status 200 with the worker's text/plain result; 408 with
// {"error":"Request timeout"} after the wait; 500 with
// {"error":"Internal server error"} on any standard exception (a broken
// exchange included). JSON answers carry "application/json".
CardResponse run_card_exchange(Core& core, const std::string& command, const std::string& body,
                               std::chrono::milliseconds wait = std::chrono::seconds(10));

extern const char kCardTimeoutBody[];        // {"error":"Request timeout"}
extern const char kCardInternalErrorBody[];  // {"error":"Internal server error"}
