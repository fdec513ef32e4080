// The options page: whether the host answers and its version, the client application it will
// start and what the host's configuration says of it, a button to find or start the client
// now (the find-client dialog answered here rather than over a page), and the sites a person
// allowed, each with a way to take it back, beside those an administrator allowed.
"use strict";

const words = (name, ...values) => chrome.i18n.getMessage(name, values);
const $ = (id) => document.getElementById(id);

for (const element of document.querySelectorAll("[data-words]")) element.textContent = words(element.dataset.words);
$("extension").textContent = words("optionsExtension", chrome.runtime.getManifest().version);

function list(element, items, take) {
  element.replaceChildren();
  if (items.length === 0) {
    const none = document.createElement("li");
    none.className = "none";
    none.textContent = words("optionsNone");
    element.appendChild(none);
  }
  for (const item of items) {
    const li = document.createElement("li");
    li.textContent = item;
    if (take) {
      const button = document.createElement("button");
      button.textContent = words("optionsTakeBack");
      button.addEventListener("click", () => take(item));
      li.appendChild(button);
    }
    element.appendChild(li);
  }
}

async function showSites() {
  await sites.load();
  list($("person"), sites.person, (origin) => sites.revoke(origin));
  list($("managed"), sites.managed, null);
}

const RESULTS = { running: "resultRunning", "not-configured": "resultNotConfigured", "not-started": "resultNotStarted",
                  "needs-elevation": "resultNeedsElevation", "no-window": "resultNoWindow", busy: "resultBusy" };

function showClient(status) {
  const text = (v) => (typeof v === "string" ? v : "");
  const command = text(status.command), program = text(status.program);
  const state = !command ? words("optionsClientNotConfigured")
    : program ? words("optionsClientFound", program) : words("optionsClientNotFound", command);
  $("client").textContent = `${state} ${words(status.running === true ? "optionsClientRunning" : "optionsClientStopped")}`;
}

// One connection to the host, as long as the page is open: hello first, then the client's
// status; the button asks again through it.
function connect() {
  $("host").textContent = words("optionsHostAsking");
  $("client").textContent = words("optionsClientUnknown");
  const port = chrome.runtime.connectNative(HOST);
  let answered = false;
  port.onMessage.addListener((message) => {
    const protocol = hostLink.protocolOf(message);
    if (protocol !== null && !answered) {
      answered = true;
      const version = typeof message.version === "string" ? message.version : "?";
      $("host").textContent = protocol < PROTOCOL ? words("optionsHostOlder")
        : `${words("optionsHostAnswers", version)}${protocol > PROTOCOL ? " " + words("optionsHostNewer") : ""}`;
      if (protocol >= 2) {
        port.postMessage({ type: "client-status" });
        $("find").disabled = false;
      }
      return;
    }
    if (message && (message.type === "client-status" || message.type === "find-client")) showClient(message);
    if (message && message.type === "find-client") {
      $("find").disabled = false;
      $("found").textContent = words(RESULTS[message.result] || "resultNotStarted");
    }
  });
  port.onDisconnect.addListener(() => {
    $("find").disabled = true;
    if (!answered) $("host").textContent = words(hostLink.missing(port) ? "optionsHostMissing" : "optionsHostEnded");
  });
  port.postMessage({ type: "hello", protocol: PROTOCOL });
  $("find").onclick = () => {
    $("find").disabled = true;
    $("found").textContent = "";
    port.postMessage({ type: "find-client" });
  };
}

chrome.storage.onChanged.addListener(showSites);
showSites();
connect();
