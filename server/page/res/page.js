// The page's script. A device that is not paired sees only the pairing: a name, then the code from
// the server's Log. A paired device follows one stream of the server's events, which keeps the
// page as the server is, and a press of a button asks for one change. Every text of the server is
// set as text, never markup.
"use strict";

const kEntriesShown = 200;
let lastEntry = 0;
let deviceId = "";
let events = null;

function element(tag, text, className) {
    const made = document.createElement(tag);
    if (text !== undefined)
        made.textContent = text;
    if (className)
        made.className = className;
    return made;
}

function showText(id, text) {
    const shown = document.getElementById(id);
    shown.textContent = text;
    shown.hidden = !text;
}

// Every change is the page's own script's JSON; the answer says whether it was done, and why not.
async function post(path, body) {
    try {
        const response = await fetch(path, {
            method: "POST",
            cache: "no-store",
            headers: {"Content-Type": "application/json", "X-Tarnlow-Page": "1"},
            body: JSON.stringify(body),
        });
        if (response.status === 403)
            checkDevice();
        return response.ok ? await response.json() : {done: false, reason: await response.text()};
    } catch (error) {
        return {done: false, reason: "The server cannot be reached"};
    }
}

async function changeSharing(connection, button) {
    button.disabled = true;
    showText("refusal", "");
    const answer = await post("/sharing", {id: connection.id, share: !connection.shared});
    if (!answer.done)
        showText("refusal", answer.reason);
    button.disabled = false;
}

// Its name is visible text and, for a reader of the screen, the button's own words.
function nameButton(text, name, className, pressed) {
    const button = element("button", text, className);
    button.type = "button";
    button.append(element("span", " " + name, "hidden-text"));
    button.addEventListener("click", () => pressed(button));
    return button;
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
        const button = nameButton(connection.shared ? "Stop sharing" : "Share", connection.name,
                                  connection.shared ? "stop" : "",
                                  pressed => changeSharing(connection, pressed));
        button.dataset.id = connection.id;
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

function when(milliseconds) {
    return new Date(milliseconds).toLocaleString([], {dateStyle: "medium", timeStyle: "short"});
}

async function forget(device, button) {
    button.disabled = true;
    showText("refusal", "");
    const answer = await post("/forget", {id: device.id});
    if (!answer.done)
        showText("refusal", answer.reason);
    else if (device.id === deviceId)
        checkDevice();
    button.disabled = false;
}

function deviceItem(device) {
    const item = element("li", undefined, "device");
    const about = element("div", undefined, "about");
    const self = device.id === deviceId;
    about.append(element("div", device.name + (self ? " (this device)" : ""), "name"));
    about.append(element("div", "Paired " + when(device.paired) + " \u00b7 Last seen " +
                                    when(device.seen), "details"));
    item.append(about, nameButton("Forget", device.name, "stop", pressed => forget(device, pressed)));
    return item;
}

function showDevices(devices) {
    document.getElementById("devices").replaceChildren(...devices.map(deviceItem));
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

function showState(state) {
    document.getElementById("host").textContent = state.host;
    document.title = "Tarnlow Server: " + state.host;
    showAddress(state.address);
    showConnections(state.connections);
    showDevices(state.devices);
    // The whole log is shown again, not read out again.
    const log = document.getElementById("log");
    log.setAttribute("aria-busy", "true");
    log.replaceChildren();
    lastEntry = 0;
    addEntries(state.entries);
    log.setAttribute("aria-busy", "false");
}

function follow() {
    const link = document.getElementById("link");
    events = new EventSource("/events");
    events.addEventListener("state", event => {
        showState(JSON.parse(event.data));
        link.textContent = "Up to date";
    });
    events.addEventListener("connections", event => showConnections(JSON.parse(event.data)));
    events.addEventListener("devices", event => showDevices(JSON.parse(event.data)));
    events.addEventListener("address", event => showAddress(JSON.parse(event.data)));
    events.addEventListener("entries", event => addEntries(JSON.parse(event.data)));
    // A stream that is refused (a device forgotten meanwhile) is not tried again.
    events.addEventListener("error", () => {
        link.textContent = "Reconnecting\u2026";
        if (events.readyState === EventSource.CLOSED)
            checkDevice();
    });
}

function showPairing(asked) {
    if (events) {
        events.close();
        events = null;
    }
    deviceId = "";
    document.getElementById("paired").hidden = true;
    document.getElementById("address-line").hidden = true;
    document.getElementById("pairing").hidden = false;
    document.getElementById("ask-form").hidden = asked;
    document.getElementById("code-form").hidden = !asked;
    document.getElementById("link").textContent = "This device is not paired";
    // What was typed is chosen whole, so that typing again replaces it.
    document.getElementById(asked ? "code" : "device-name").select();
}

function showPaired(device) {
    deviceId = device.id;
    document.getElementById("pairing").hidden = true;
    document.getElementById("paired").hidden = false;
    document.getElementById("address-line").hidden = false;
    if (!events)
        follow();
}

async function checkDevice() {
    try {
        const response = await fetch("/device", {cache: "no-store"});
        const device = await response.json();
        if (device.paired)
            showPaired(device);
        else
            showPairing(device.asked);
    } catch (error) {
        document.getElementById("link").textContent = "The server cannot be reached";
    }
}

function onSubmit(formId, path, field) {
    document.getElementById(formId).addEventListener("submit", async event => {
        event.preventDefault();
        const form = event.target;
        const button = form.querySelector("button[type=submit]");
        button.disabled = true;
        showText("pairing-refusal", "");
        const answer = await post(path, {[field]: form.elements[field].value});
        button.disabled = false;
        if (!answer.done)
            showText("pairing-refusal", answer.reason);
        if (answer.done || field === "code")
            checkDevice();
    });
}

onSubmit("ask-form", "/pairing", "name");
onSubmit("code-form", "/pairing/code", "code");
document.getElementById("new-code").addEventListener("click", () => {
    showText("pairing-refusal", "");
    document.getElementById("code-form").hidden = true;
    document.getElementById("ask-form").hidden = false;
    document.getElementById("device-name").focus();
});
checkDevice();
