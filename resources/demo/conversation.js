// A conversation: the contact's messages from the service as bubbles of rich text, bound to an array
// of the messages; a sent message is added when the service has taken it, and new ones handed over
// by the list while this is open.
var scene = __scriptHelper.getSceneProxy();
var kLeftSoftKey = 10001, kRightSoftKey = 10002;
var kEmoticons = { ":)": "smile", ";)": "wink", ":D": "grin" };

var params = scene.paramsDictionary;
var api = String(params.api), token = String(params.token), contact = String(params.contact);
var scroller = scene.getBoxById("scroller");
var status = scene.getBoxById("status");
var draft = scene.getBoxById("draft");
var messages = scene.getBoxById("messages");
var textSize = scene.getBoxById("textSize");
// The list's bubbles are bound to this array: one item per message, oldest first.
var bubbles = new liveArray();
scene.bubbles = bubbles;
var shown = {}; // seq -> true
var sending = false, closed = false;

scene.getBoxById("heading").setAttribute("value", String(params.name));
scene.rootBox.setAttribute("title", String(params.name));
var presence = presenceText(String(params.presence));
status.setAttribute("value", presence);

// The slider sets the size of the words in every bubble, and in those still to come.
function sizeWords(line) {
    for (var part = line.firstChild; part; part = part.nextSibling)
        if (part.firstChild) part.firstChild.setStyle("fontSize", textSize.getAttribute("value"));
}
function onTextSize(e) {
    for (var line = messages.firstChild; line; line = line.nextSibling) sizeWords(line);
}
textSize.addEventHandler("modified", "onTextSize");

function escaped(words) {
    return words.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;").replace(/"/g, "&quot;")
        .replace(/\\/g, "\\\\");
}

// The message as rich text: its own words escaped, addresses as links, emoticons as pictures.
function richText(words) {
    var parts = words.split(/(https?:\/\/[^\s<>"]+|:\)|;\)|:D)/);
    var html = "";
    for (var i = 0; i < parts.length; ++i) {
        var part = parts[i];
        if (i % 2 == 0) html += escaped(part);
        else if (kEmoticons[part])
            html += '<img src="pictures/' + kEmoticons[part] + '.png" alt="' + kEmoticons[part] + '" width="20" height="20">';
        else html += '<a href="' + escaped(part) + '">' + escaped(part) + "</a>";
    }
    return html;
}

// A bubble for a message not shown yet: the list's binding makes it from the item.
function bubble(message) {
    if (shown[message.seq]) return;
    shown[message.seq] = true;
    bubbles.addValue({ seq: String(message.seq), side: message.ours ? "ours" : "theirs",
                       html: richText(String(message.text)) });
    if (messages.lastChild) sizeWords(messages.lastChild);
}

// The newest message in view: the scroller keeps the offset within its content.
function showLatest() {
    scroller.scrollOffsetY = 1000000;
}

function addAll(list) {
    for (var i = 0; i < list.length; ++i)
        bubble(list[i]);
    showLatest();
}

function loaded(code, answer) {
    if (closed) return;
    if (code != 200 || !answer) {
        status.setAttribute("value", troubleText(code));
        if (code != 401) setTimeoutObject({ run: load }, "run", 2000);
        return;
    }
    status.setAttribute("value", presence);
    addAll(answer.messages);
}

function load() {
    if (!closed) callService(api, token, "GET", "conversation?contact=" + contact, null, loaded);
}

function sent(code, answer) {
    sending = false;
    if (closed) return;
    if (code != 200 || !answer) {
        status.setAttribute("value", code == 400 ? "The service refused the message." : "Not sent: " +
                            troubleText(code).replace("; trying again\u2026", "."));
        return;
    }
    draft.setAttribute("value", "");
    status.setAttribute("value", presence);
    addAll([answer.message]);
}

function send() {
    var words = draft.getAttribute("value");
    words = words ? String(words) : "";
    if (sending || words.replace(/\s+/g, "") == "") return;
    sending = true;
    status.setAttribute("value", "Sending\u2026");
    callService(api, token, "POST", "send", { contact: contact, text: words }, sent);
}

function goBack() {
    closed = true;
    closePushed("contacts");
}

function onSoftKey(e) {
    if (e.menuId == kLeftSoftKey) goBack();
    else if (e.menuId == kRightSoftKey) send();
}

// The list hands over what arrived for this contact.
function onMessage(e) {
    if (e.message == "arrived" && e.paramsDictionary) addAll(JSON.parse(String(e.paramsDictionary.json)));
}

scene.getBoxById("send").addEventHandler("click", "send");
scene.rootBox.addEventHandler("menuCommand", "onSoftKey");
scene.rootBox.addEventHandler("message", "onMessage");
load();
