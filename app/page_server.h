// The organiser's page for an ordinary browser, where no embedded browser is
// at hand: an HTTP server on 127.0.0.1 that answers only under a random
// secret path, http://127.0.0.1:N/<secret>/, and carries the page's messages
// the way the embedded browser would. The page gets a `window.chrome.webview`
// whose postMessage POSTs to <secret>/message (one at a time, in order) and
// whose `message` events are the replies, read in order as Server-Sent
// Events from <secret>/replies.
//
// Any other path, a Host other than 127.0.0.1:N or an Origin other than
// http://127.0.0.1:N is answered 403. One page is served at a time: loading
// the page again supersedes the page loaded before, which then shows
// "Ringtally is open in another window." and gets no further replies.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "app/bridge.h"

class PageServer : public ReplySink {
 public:
  // `page` is the whole HTML document and must outlive the server.
  PageServer(Core& core, std::string_view page);
  ~PageServer() override;  // stops and joins
  PageServer(const PageServer&) = delete;
  PageServer& operator=(const PageServer&) = delete;

  // Binds 127.0.0.1:`port` (1..65535, or 0 for a free port the system
  // picks) and starts serving on a thread of its own. False when the port
  // cannot be bound or the server was started before.
  bool start(int port);

  // "http://127.0.0.1:N/<secret>/" once started; "" before.
  std::string url() const;

  // Ends every open reply stream and closes the listener; safe from any
  // thread, at any time, repeatedly.
  void stop();
  // Waits for the server thread (after stop, at most the 5-second time-out
  // of a request in flight).
  void join();

  // Worker thread: queues a reply for the page that sent its request; a
  // reply to a superseded page is dropped. Never blocks on the network.
  void deliver_reply(std::string reply) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The page as served for page load `generation`: `page` with the messaging
// script placed at the start of its <head> (or at its start when it has no
// <head>).
std::string page_with_messaging(std::string_view page, unsigned long long generation);
