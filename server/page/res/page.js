// The page's script: one stream of the server's events keeps the page as the server is, and a
// press of a button asks for one change. Every text of the server is set as text, never markup.
"use strict";

const kEntriesShown = 200;
let lastEntry = 0;

function element(tag, text, className) {
    const made = document.createElement(tag);
    if (text !== undefined)
        made.textContent = text;
    if (className)
        made.className = className;
    return made;
}

function showRefusal(reason) {
    const refusal = document.getElementById("refusal");
    refusal.textContent = reason;
    refusal.hidden = !reason;
}

async function changeSharing(connection, button) {
    button.disabled = true;
    showRefusal("");
    try {
        const response = await fetch("/sharing", {
            method: "POST",
            cache: "no-store",
            headers: {"Content-Type": "application/json", "X-Tarnlow-Page": "1"},
            body: JSON.stringify({id: connection.id, share: !connection.shared}),
        });
        const answer = response.ok ? await response.json()
                                   : {done: false, reason: await response.text()};
        if (!answer.done)
            showRefusal(answer.reason);
    } catch (error) {
        showRefusal("The server cannot be reached");
    }
    button.disabled = false;
}

function connectionItem(connection) {
    const item = element("li", undefined, "connection");
    const about = element("div", undefined, "about");
    about.append(element("div", connection.name, "name"));
    const details = element("div", connection.type + " \u00b7 " + connection.status + " \u00b7 ",
                            "details");
    details.append(element("span", connection.shared ? "Shared" : "Not shared",
                           connection.shared ? "shared" : ""));
    about.append(details);
    item.append(about);
    if (connection.dialup) {
        const button = element("button", connection.shared ? "Stop sharing" : "Share",
                               connection.shared ? "stop" : "");
        button.type = "button";
        button.dataset.id = connection.id;
        button.append(element("span", " " + connection.name, "hidden-text"));
        button.addEventListener("click", () => changeSharing(connection, button));
        item.append(button);
    }
    return item;
}

// The focus stays on the button of the same connection as the list is shown again.
function showConnections(connections) {
    const list = document.getElementById("connections");
    const focused = document.activeElement && document.activeElement.dataset
                        ? document.activeElement.dataset.id : undefined;
    list.replaceChildren(...connections.map(connectionItem));
    document.getElementById("no-connections").hidden = connections.length > 0;
    if (focused) {
        const button = [...list.querySelectorAll("button")].find(b => b.dataset.id === focused);
        if (button)
            button.focus();
    }
}

function showAddress(address) {
    document.getElementById("address").textContent = address || "none";
}

function addEntries(entries) {
    const log = document.getElementById("log");
    for (const entry of entries) {
        if (entry.id <= lastEntry)
            continue;
        lastEntry = entry.id;
        const item = element("li", undefined, entry.warning ? "warning" : "");
        item.append(element("time", entry.time), element("span", entry.text));
        log.prepend(item);
    }
    while (log.children.length > kEntriesShown)
        log.lastElementChild.remove();
}

function follow() {
    const link = document.getElementById("link");
    const events = new EventSource("/events");
    events.addEventListener("state", event => {
        const state = JSON.parse(event.data);
        document.getElementById("host").textContent = state.host;
        document.title = "Tarnlow Server: " + state.host;
        showAddress(state.address);
        showConnections(state.connections);
        // The whole log is shown again, not read out again.
        const log = document.getElementById("log");
        log.setAttribute("aria-busy", "true");
        log.replaceChildren();
        lastEntry = 0;
        addEntries(state.entries);
        log.setAttribute("aria-busy", "false");
        link.textContent = "Up to date";
    });
    events.addEventListener("connections", event => showConnections(JSON.parse(event.data)));
    events.addEventListener("address", event => showAddress(JSON.parse(event.data)));
    events.addEventListener("entries", event => addEntries(JSON.parse(event.data)));
    events.addEventListener("error", () => { link.textContent = "Reconnecting\u2026"; });
}

follow();
