// Fields within one argument or reply are separated by the unit separator.
const SEP = "\u001f";
const webview = window.chrome && window.chrome.webview;

// ---- Messaging with the host: "id:command:args" out, "id:result" back.
let requestCounter = 0;
const pending = new Map();

function sendCommand(command, args = "") {
  requestCounter += 1;
  const id = String(requestCounter);
  const message = id + ":" + command + ":" + args;
  return new Promise((resolve, reject) => {
    pending.set(id, { resolve, reject });
    if (webview) webview.postMessage(message);
  });
}

function onReply(event) {
  const text = String(event.data);
  const colon = text.indexOf(":");
  const id = colon < 0 ? text : text.slice(0, colon);
  const result = colon < 0 ? "" : text.slice(colon + 1);
  const entry = pending.get(id);
  if (!entry) return;
  pending.delete(id);
  if (result.startsWith("ERROR:")) entry.reject(new Error(result.slice(6)));
  else entry.resolve(result);
}
if (webview) webview.addEventListener("message", onReply);

const hostApi = {};
["open_contest", "fetch_divisions", "fetch_teams", "fetch_contestants",
  "fetch_contestant_counts", "fetch_class_types", "fetch_classes", "fetch_wifi_addresses",
  "fetch_placings", "fetch_placing_counts", "fetch_indiv_scores", "fetch_indiv_rankings",
  "fetch_team_rankings", "fetch_card_log"].forEach((name) => {
  hostApi[name] = () => sendCommand(name);
});
["create_contest", "save_division", "delete_division", "save_team", "delete_team",
  "call_save_contestant", "delete_contestant", "save_class_type", "delete_class_type",
  "save_class", "delete_class", "save_placing", "delete_placing"].forEach((name) => {
  hostApi[name] = (args) => sendCommand(name, args);
});
