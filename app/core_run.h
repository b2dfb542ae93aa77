// The core's life around a front end (the window, or the standard streams).
#pragma once
#include <functional>

#include "app/bridge.h"

class CardServer;

// Starts the worker and, unless `card_port` is 0, the card server; runs
// `front_end` until it returns; then shuts down in order: the worker is
// stopped and woken, the card server stopped, the card-server thread and the
// worker joined (a card request in flight is answered first, within its 10
// seconds), and the database closed. `core.table` must be filled already.
void run_core(Core& core, ReplySink& sink, int card_port,
              const std::function<void(CardServer& card_server)>& front_end);
