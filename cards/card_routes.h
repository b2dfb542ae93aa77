// Where phones find the cards: the one port and every path the card server
// answers, each named once here.
#pragma once

// The application's card port; the Wi-Fi lines and QR codes name it.
constexpr int kCardPort = 56780;

constexpr char kPlacingPagePath[] = "/placing";
constexpr char kReasonsPagePath[] = "/reasons";
constexpr char kHealthPath[] = "/health";

// One card API route: POST `path` runs `command` with the body as argument.
struct CardApiRoute {
  const char* path;
  const char* command;
};

constexpr CardApiRoute kCardApiRoutes[] = {
    {"/api/fetch_card_names", "fetch_card_names"},
    {"/api/fetch_card_names_and_placing", "fetch_card_names_and_placing"},
    {"/api/save_card_placing", "save_card_placing"},
    {"/api/save_card_reasons", "save_card_reasons"},
};
