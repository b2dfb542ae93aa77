// What the embedded browser gives the main page in place of WebView2:
// `window.chrome.webview` with postMessage and `message` events.
#pragma once
#include <string>
#include <string_view>

// The script message handler the page's postMessage goes through
// (window.webkit.messageHandlers.<name>).
extern const char kPageMessageHandler[];

// Runs in the top frame before the page's own scripts. Defines
// window.chrome.webview: postMessage(text) sends text to the host;
// addEventListener / removeEventListener('message', listener) receive each
// reply as the `data` of a MessageEvent. The object cannot be replaced.
extern const std::string_view kWebviewScript;

// A script that hands `reply` to the page's `message` listeners. The reply
// is made valid UTF-8 first and travels as an escaped string literal, so no
// reply text can break out of it.
std::string reply_delivery_script(const std::string& reply);
