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

function addRow(i) {
    var row = scene.createBox("hbox");
    row.setAttribute("style", "row");
    row.setAttribute("contact", String(i + 1));
    var face = scene.createBox("box");
    face.setAttribute("style", "face" + (i % 6));
    var words = scene.createBox("vbox");
    words.setAttribute("style", "words");
    words.addChild(text("name", names[i % 10] + " " + (i + 1)));
    words.addChild(text("state", states[i % 4]));
    row.addChild(face);
    row.addChild(words);
    var unread = (i * 7) % 5;
    if (unread) {
        var badge = scene.createBox("box");
        badge.setAttribute("style", "badge");
        badge.addChild(text("badgeCount", String(unread)));
        row.addChild(badge);
    }
    rows.addChild(row);
}

for (var i = 0; i < 40; ++i)
    addRow(i);

// How far the rows are scrolled up. The rows move by their top margin inside the list, which clips
// them: a script's scrollOffsetY write does not scroll a box yet.
var scrolled = 0, pressY = 0, pressScrolled = 0, dragged = false;

function scrollTo(offset) {
    var most = Math.max(0, rows.boxHeight - list.boxHeight);
    scrolled = Math.max(0, Math.min(most, offset));
    rows.setStyle("marginTop", String(-scrolled));
    list.setAttribute("scrolled", String(scrolled));
}

function onPress(e) {
    pressY = e.screenY;
    pressScrolled = scrolled;
    dragged = false;
}

function onDrag(e) {
    if (Math.abs(pressY - e.screenY) > kTapSlop) dragged = true;
    scrollTo(pressScrolled + (pressY - e.screenY));
}

// The row under a tap: the target or the nearest ancestor that names a contact.
function rowOf(box) {
    while (box && !box.getAttribute("contact"))
        box = box.parent;
    return box;
}

function onTap(e) {
    if (dragged) return;
    var row = rowOf(e.targetBox);
    if (!row) return;
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

function askMenu() {
    var results = new xDictionary();
    scene.openDialog({dialogType: "confirm", titleText: "Sign out", bodyText: "Sign out of Tandu?",
                      confirmButton: "Yes", cancelButton: "No", results: results});
    status.setAttribute("value", results.button ? "Menu answered: " + results.button : "Menu closed");
}

function onSoftKey(e) {
    if (e.menuId == kLeftSoftKey) goBack();
    else if (e.menuId == kRightSoftKey) askMenu();
}

list.addEventHandler("mouseDown", "onPress");
list.addEventHandler("mouseDrag", "onDrag");
list.addEventHandler("click", "onTap");
scene.rootBox.addEventHandler("menuCommand", "onSoftKey");
