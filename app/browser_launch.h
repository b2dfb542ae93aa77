// Opening the organiser's page in a browser beside the application.
#pragma once
#include <string>

// Opens `url` in Microsoft Edge as an app window (msedge --app=URL; Edge is
// found through its App Paths registry entry), or, without Edge, in the
// default browser. False when neither could be started.
bool open_in_browser(const std::string& url);
