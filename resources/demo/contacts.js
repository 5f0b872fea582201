// The contact list of a session: its rows are bound to an array of the service's contacts, and a poll for what is
// new keeps presence and unread badges current, hands a new message to the open conversation, or
// shows a notification for a message from anyone else. A drag scrolls the list, a tap opens a row's
// conversation, and the menu switches the theme or signs out.
var scene = __scriptHelper.getSceneProxy();
var app = shell.app;
var kLeftSoftKey = 10001, kLightTheme = 10003, kDarkTheme = 10004, kSignOut = 10005;
// A press that moves further than this is a drag, not a tap.
var kTapSlop = 8;
// How often the list asks the service what is new, and how long a notification shows.
var kPollMs = 2000, kNotificationMs = 10000;

var params = scene.paramsDictionary;
var api = String(params.api), token = String(params.token), user = String(params.user);
var list = scene.getBoxById("list");
var rows = scene.getBoxById("rows");
var status = scene.getBoxById("status");
// The list's rows are bound to this array: one item per contact, in the service's order.
var contacts = new liveArray();
scene.contacts = contacts;
var known = {}; // id -> { data, index }
var order = [];
var seq = 0;
var polling = false, closed = false;

function openContactId() {
    var open = shell.getSceneByName("conversation");
    return open ? String(open.paramsDictionary.contact) : "";
}

// What a row shows of a contact; the open conversation's contact has nothing unread.
function rowItem(data) {
    var unread = data.id == openContactId() ? 0 : Number(data.unread);
    return { id: String(data.id), face: "face" + (Number(data.face) % 6), name: String(data.name),
             state: presenceText(data.presence), unread: String(unread), read: unread > 0 ? "false" : "true" };
}

function showUnread(entry) {
    contacts.setValue(entry.index, rowItem(entry.data));
}

function update(data) {
    var entry = known[data.id];
    if (!entry) {
        known[data.id] = { data: data, index: order.length };
        order.push(data.id);
        contacts.addValue(rowItem(data));
        return;
    }
    entry.data = data;
    showUnread(entry);
}

function showStatus(trouble) {
    status.setAttribute("value", trouble ? trouble : user + " \u00b7 " + order.length + " contacts");
}

function loaded(code, answer) {
    if (closed) return;
    if (code != 200 || !answer) {
        showStatus(troubleText(code));
        if (code != 401) later("loadContacts", kPollMs);
        return;
    }
    for (var i = 0; i < answer.contacts.length; ++i)
        update(answer.contacts[i]);
    seq = Number(answer.seq);
    showStatus("");
    later("poll", kPollMs);
}

function loadContacts() {
    callService(api, token, "GET", "contacts", null, loaded);
}

var timerTarget = { loadContacts: loadContacts, poll: poll, openAsked: function () { openAsked(); } };
function later(name, ms) {
    if (!closed) setTimeoutObject(timerTarget, name, ms);
}

function poll() {
    if (closed || polling) return;
    polling = true;
    callService(api, token, "GET", "fetch?since=" + seq, null, fetched);
}

function fetched(code, answer) {
    polling = false;
    if (closed) return;
    if (code != 200 || !answer) {
        showStatus(troubleText(code));
        if (code != 401) later("poll", kPollMs);
        return;
    }
    var open = openContactId();
    var forOpen = [];
    for (var i = 0; i < answer.messages.length; ++i) {
        var m = answer.messages[i];
        if (m.contact == open) forOpen.push(m);
        else if (!m.ours && known[m.contact]) notify(known[m.contact].data, m.text);
    }
    for (var j = 0; j < answer.contacts.length; ++j)
        update(answer.contacts[j]);
    if (forOpen.length) {
        var values = new xDictionary();
        values.json = JSON.stringify(forOpen);
        shell.getSceneByName("conversation").sendMessage("arrived", values);
    }
    seq = Number(answer.seq);
    showStatus("");
    later("poll", kPollMs);
}

// The bubble lays its body out as HTML: what people typed must show as typed, never as markup.
function escapeHtml(text) {
    return String(text).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;").replace(/"/g, "&quot;");
}

function notify(data, words) {
    app.newNotification(scene, "<b>" + escapeHtml(data.name) + "</b>: " + escapeHtml(words), data.id,
                        kNotificationMs, "knownIM");
}

function openConversation(id) {
    var entry = known[id];
    if (!entry) return;
    var open = shell.getSceneByName("conversation");
    if (open) open.close();
    var values = new xDictionary();
    values.api = api;
    values.token = token;
    values.contact = id;
    values.name = entry.data.name;
    values.presence = entry.data.presence;
    entry.data.unread = 0;
    showUnread(entry);
    openPushed("demo/conversation.box", "conversation", values);
}

// A drag scrolls the list by its distance from the press; the list keeps the offset within its
// content.
var pressY = 0, pressScrolled = 0, dragged = false;

function onPress(e) {
    pressY = e.screenY;
    pressScrolled = list.scrollOffsetY;
    dragged = false;
}

function onDrag(e) {
    if (Math.abs(pressY - e.screenY) > kTapSlop) dragged = true;
    list.scrollOffsetY = pressScrolled + (pressY - e.screenY);
}

function onTap(e) {
    if (dragged) return;
    // The binding gave the tapped row its contact's id.
    var row = e.targetBox;
    var id = row ? row.getAttribute("contact") : null;
    if (id) openConversation(String(id));
}

function setTheme(name) {
    shell.themeManager.activeTheme = name;
}

function signOut() {
    closed = true;
    app.dismissNotifications();
    shell.getSceneByName("main").sendMessage("signOut", new xDictionary());
    var open = shell.getSceneByName("conversation");
    if (open) open.close();
    closePushed("main");
}

function goBack() {
    signOut();
}

function onSoftKey(e) {
    if (e.menuId == kLeftSoftKey || e.menuId == kSignOut) signOut();
    else if (e.menuId == kLightTheme) setTheme("light");
    else if (e.menuId == kDarkTheme) setTheme("dark");
}

// The notification's soft keys ask for the conversation of its contact. The notifier brings the
// sign-in window forward after asking, so the conversation opens once that is done, on top.
var askedContact = "";
function onMessage(e) {
    if (e.message == "viewBuddyConversation" && e.paramsDictionary) {
        app.dismissNotifications();
        askedContact = String(e.paramsDictionary.buddyId);
        later("openAsked", 0);
    }
}

function openAsked() {
    openConversation(askedContact);
}

list.addEventHandler("mouseDown", "onPress");
list.addEventHandler("mouseDrag", "onDrag");
list.addEventHandler("click", "onTap");
scene.rootBox.addEventHandler("menuCommand", "onSoftKey");
scene.rootBox.addEventHandler("message", "onMessage");
loadContacts();
