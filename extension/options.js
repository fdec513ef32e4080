// The options page: the sites a person allowed, each with a way to take it back, and those an
// administrator allowed, which only the administrator changes.
"use strict";

function list(element, items, take) {
  element.replaceChildren();
  if (items.length === 0) {
    const none = document.createElement("li");
    none.className = "none";
    none.textContent = "None";
    element.appendChild(none);
  }
  for (const item of items) {
    const li = document.createElement("li");
    li.textContent = item;
    if (take) {
      const button = document.createElement("button");
      button.textContent = "Take back";
      button.addEventListener("click", () => take(item));
      li.appendChild(button);
    }
    element.appendChild(li);
  }
}

async function show() {
  await sites.load();
  list(document.getElementById("person"), sites.person, (origin) => sites.revoke(origin));
  list(document.getElementById("managed"), sites.managed, null);
}

chrome.storage.onChanged.addListener(show);
show();
