// The contact list: rows built from the arrays below; a drag scrolls the list by its distance from
// the press, a tap on a row opens the conversation, and the right soft key asks a question in the
// toolkit's built-in dialog and shows the answer under the heading.
var scene = __scriptHelper.getSceneProxy();
var kLeftSoftKey = 10001, kRightSoftKey = 10002;
// A press that moves further than this is a drag, not a tap.
var kTapSlop = 8;

var names = ["Ada", "Bram", "Cleo", "Dario", "Esme", "Farid", "Gita", "Hugo", "Ines", "Jory"];
var states = ["Available", "Away", "Busy", "Offline"];
var list = scene.getBoxById("list");
var rows = scene.getBoxById("rows");
var status = scene.getBoxById("status");

function text(style, value) {
    var box = scene.createBox("simpleText");
    box.setAttribute("style", style);
    box.setAttribute("value", value);
    return box;
}

// The row is the pressed box and the tap's target: the boxes inside it let the press through.
function inner(box) {
    box.setAttribute("ignoreEvents", "true");
    return box;
}

function addRow(i) {
    var row = scene.createBox("hbox");
    row.setAttribute("style", "row");
    row.setAttribute("contact", String(i + 1));
    var face = inner(scene.createBox("box"));
    face.setAttribute("style", "face" + (i % 6));
    var words = inner(scene.createBox("vbox"));
    words.setAttribute("style", "words");
    words.addChild(inner(text("name", names[i % 10] + " " + (i + 1))));
    words.addChild(inner(text("state", states[i % 4])));
    row.addChild(face);
    row.addChild(words);
    var unread = (i * 7) % 5;
    if (unread) {
        var badge = inner(scene.createBox("box"));
        badge.setAttribute("style", "badge");
        badge.addChild(inner(text("badgeCount", String(unread))));
        row.addChild(badge);
    }
    rows.addChild(row);
}

for (var i = 0; i < 40; ++i)
    addRow(i);

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
    if (!row || !row.getAttribute("contact")) return;
    var i = Number(row.getAttribute("contact")) - 1;
    var params = new xDictionary();
    params.name = names[i % 10] + " " + (i + 1);
    params.state = states[i % 4];
    params.face = String(i % 6);
    shell.openScene("demo/conversation.box", null, "conversation", params, null, false);
}

function goBack() {
    scene.close();
}

// The answer shows under the heading: the confirm button mutes, No or Back leaves it as it was.
function askMenu() {
    var results = new xDictionary();
    scene.openDialog({dialogType: "confirm", titleText: "Do not disturb", bodyText: "Mute notifications for an hour?",
                      confirmButton: "Mute", cancelButton: "No", results: results});
    status.setAttribute("value", results.button == "confirm" ? "Muted for an hour" : "Notifications on");
}

function onSoftKey(e) {
    if (e.menuId == kLeftSoftKey) goBack();
    else if (e.menuId == kRightSoftKey) askMenu();
}

list.addEventHandler("mouseDown", "onPress");
list.addEventHandler("mouseDrag", "onDrag");
list.addEventHandler("click", "onTap");
scene.rootBox.addEventHandler("menuCommand", "onSoftKey");
