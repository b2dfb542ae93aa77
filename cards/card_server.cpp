// Placeholder until the card service lands: never listens.
#include "cards/card_server.h"

#include "app/bridge.h"

struct CardServer::Impl {};
CardServer::CardServer(Core&) : impl_(new Impl) {}
CardServer::~CardServer() = default;
void CardServer::start(int) {}
void CardServer::stop() {}
void CardServer::join() {}
bool CardServer::is_listening() const { return false; }
