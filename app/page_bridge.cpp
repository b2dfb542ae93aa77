#include "app/page_bridge.h"

#include "app/text.h"

const char kPageMessageHandler[] = "ringtally";

const std::string_view kWebviewScript = R"JS((function () {
  'use strict';
  if (window.chrome && window.chrome.webview) return;
  const channel = window.webkit.messageHandlers.ringtally;
  const listeners = new EventTarget();
  const webview = {
    // Lone surrogates become U+FFFD here, as a UTF-16 to UTF-8 conversion
    // would make them; the host's conversion would drop them silently.
    postMessage(message) {
      channel.postMessage(typeof message === 'string' ? message.toWellFormed() : message);
    },
    addEventListener(type, listener, options) {
      listeners.addEventListener(type, listener, options);
    },
    removeEventListener(type, listener, options) {
      listeners.removeEventListener(type, listener, options);
    },
  };
  Object.defineProperty(webview, '__ringtallyDeliver', {
    value(data) { listeners.dispatchEvent(new MessageEvent('message', { data })); },
  });
  Object.freeze(webview);
  if (!window.chrome) window.chrome = {};
  Object.defineProperty(window.chrome, 'webview', { value: webview, enumerable: true });
})();
)JS";

std::string reply_delivery_script(const std::string& reply) {
  return "window.chrome.webview.__ringtallyDeliver(" + quote_js_string(reply) + ");";
}
