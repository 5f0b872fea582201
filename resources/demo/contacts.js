// The contact list of a session: the rows come from the service's contacts, and a poll for what is
// new keeps presence and unread badges current, hands a new message to the open conversation, or
// shows a notification for a message from anyone else. A drag scrolls the list, a tap opens a row's
// conversation, and the menu switches the theme or signs out.
// FIXME: the rows are made here until repeaters and selections bind the list to the service's data.
// FIXME: screens open without a push until the transition script classes come.
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
var contacts = {}; // id -> { data, row, state, badge, count }
var order = [];
var seq = 0;
var polling = false, closed = false;

function text(style, value) {
    var box = scene.createBox("simpleText");
    box.setAttribute("style", style);
    box.setAttribute("value", value);
    box.setAttribute("ignoreEvents", "true");
    return box;
}

// The row is the pressed box and the tap's target: the boxes inside it let the press through.
function addRow(data) {
    var entry = { data: data };
    var row = scene.createBox("hbox");
    row.setAttribute("style", "row");
    row.setAttribute("contact", data.id);
    var face = scene.createBox("box");
    face.setAttribute("style", "face" + (Number(data.face) % 6));
    face.setAttribute("ignoreEvents", "true");
    var words = scene.createBox("vbox");
    words.setAttribute("style", "words");
    words.setAttribute("ignoreEvents", "true");
    words.addChild(text("name", data.name));
    entry.state = text("state", presenceText(data.presence));
    words.addChild(entry.state);
    entry.badge = scene.createBox("box");
    entry.badge.setAttribute("style", "badge");
    entry.badge.setAttribute("ignoreEvents", "true");
    entry.count = text("badgeCount", "");
    entry.badge.addChild(entry.count);
    row.addChild(face);
    row.addChild(words);
    row.addChild(entry.badge);
    rows.addChild(row);
    entry.row = row;
    contacts[data.id] = entry;
    order.push(data.id);
    showUnread(entry);
}

function openContactId() {
    var open = shell.getSceneByName("conversation");
    return open ? String(open.paramsDictionary.contact) : "";
}

function showUnread(entry) {
    var unread = entry.data.id == openContactId() ? 0 : Number(entry.data.unread);
    entry.badge.setAttribute("hidden", unread > 0 ? "false" : "true");
    entry.count.setAttribute("value", String(unread));
}

function update(data) {
    var entry = contacts[data.id];
    if (!entry) return addRow(data);
    entry.data = data;
    entry.state.setAttribute("value", presenceText(data.presence));
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
        else if (!m.ours && contacts[m.contact]) notify(contacts[m.contact].data, m.text);
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

function notify(data, words) {
    app.newNotification(scene, data.name + ": " + words, data.id, kNotificationMs, "knownIM");
}

function openConversation(id) {
    var entry = contacts[id];
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
    shell.openScene("demo/conversation.box", null, "conversation", values, null, false);
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
    var row = e.targetBox;
    if (row && row.getAttribute("contact")) openConversation(String(row.getAttribute("contact")));
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
    scene.close();
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
