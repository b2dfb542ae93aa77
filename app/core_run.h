// The core's life around a front end (the window, or the standard streams).
#pragma once
#include <chrono>
#include <functional>

#include "app/bridge.h"

class CardServer;

// How long shutdown waits for the card server's threads once the worker has
// stopped and the database is closed.
constexpr std::chrono::milliseconds kCardServerShutdownWait{1500};

// Starts the worker and, unless `card_port` is 0, the card server; runs
// `front_end` until it returns; then shuts down in order: the card server
// stops taking connections, the worker is stopped and joined (a command
// running finishes), card requests still waiting are answered with their
// time-out, the database is closed (and so checkpointed), and the card
// server's threads are waited for up to kCardServerShutdownWait. Whatever a
// client does, this returns soon after: when those threads are still busy
// then, the process ends with exit code 0 at once, since nothing is left to
// save. `core.table` must be filled already.
void run_core(Core& core, ReplySink& sink, int card_port,
              const std::function<void(CardServer& card_server)>& front_end);
