// The contact list: rows built from the arrays below; a drag scrolls the list by its distance from
// the press, a tap on a row opens the conversation, and "Do not disturb" in the right soft key's
// menu asks a question in the toolkit's built-in dialog and shows the answer under the heading.
// The left soft key and "Sign out" go back.
var scene = __scriptHelper.getSceneProxy();
var kLeftSoftKey = 10001, kDoNotDisturb = 10003, kSignOut = 10004;
// A press that moves further than this is a drag, not a tap.
var kTapSlop = 8;

var names = ["Ada", "Bram", "Cleo", "Dario", "Esme", "Farid", "Gita", "Hugo", "Ines", "Jory"];
var states = ["Available", "Away", "Busy", "Offline"];
var list = scene.getBoxById("list");
var rows = scene.getBoxById("rows");
var status = scene.getBoxById("status");

// A row is a contactRow gadget: its parts show the attributes set here.
function addRow(i) {
    var row = scene.createBox("contactRow");
    row.setAttribute("contact", String(i + 1));
    row.setAttribute("face", "face" + (i % 6));
    row.setAttribute("name", names[i % 10] + " " + (i + 1));
    row.setAttribute("state", states[i % 4]);
    var unread = (i * 7) % 5;
    row.setAttribute("unread", String(unread));
    row.setAttribute("read", unread ? "false" : "true");
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
    if (e.menuId == kLeftSoftKey || e.menuId == kSignOut) goBack();
    else if (e.menuId == kDoNotDisturb) askMenu();
}

list.addEventHandler("mouseDown", "onPress");
list.addEventHandler("mouseDrag", "onDrag");
list.addEventHandler("click", "onTap");
scene.rootBox.addEventHandler("menuCommand", "onSoftKey");
