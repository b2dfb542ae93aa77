// Where phones find the cards: the one port and every path the card server
// answers, each named once here.
#pragma once

// The application's card port; the Wi-Fi lines and QR codes name it.
constexpr int kCardPort = 56780;

constexpr char kPlacingPagePath[] = "/placing";
constexpr char kReasonsPagePath[] = "/reasons";
constexpr char kHealthPath[] = "/health";

// One card API route: POST `path` runs `command` with the body as argument.
// A look-up counts against its source's allowance of look-ups; a write gets
// the source address (the socket's peer) and U+001F put before the body.
struct CardApiRoute {
  const char* path;
  const char* command;
  enum Kind { kLookup, kWrite } kind;
};

constexpr CardApiRoute kCardApiRoutes[] = {
    {"/api/fetch_card_names", "fetch_card_names", CardApiRoute::kLookup},
    {"/api/fetch_card_names_and_placing", "fetch_card_names_and_placing", CardApiRoute::kLookup},
    {"/api/save_card_placing", "save_card_placing", CardApiRoute::kWrite},
    {"/api/save_card_reasons", "save_card_reasons", CardApiRoute::kWrite},
};
