#include "app/core_run.h"

#include <unistd.h>

#include <cstdio>
#include <thread>

#include "cards/card_exchange.h"
#include "cards/card_server.h"
#include "store/database.h"

void run_core(Core& core, ReplySink& sink, int card_port,
              const std::function<void(CardServer& card_server)>& front_end) {
  PendingCardRequests pending;
  std::thread worker(worker_func, std::ref(core), std::ref(sink), std::ref(pending));
  CardServer card_server(core.queue, pending);
  if (card_port != 0) card_server.start(card_port);

  front_end(card_server);

  card_server.stop();
  stop_worker(core.queue);
  worker.join();
  close_card_exchanges(pending);
  close_database();
  if (!card_server.join_for(kCardServerShutdownWait)) {
    // A client still holds a card thread; the contest is saved and closed.
    fflush(stdout);
    fflush(stderr);
    _exit(0);
  }
}
