// A conversation: the contact's name from the params the list opened it with, and a few bubbles.
var scene = __scriptHelper.getSceneProxy();
var kLeftSoftKey = 10001;

var params = scene.paramsDictionary;
var name = params && params.name ? String(params.name) : "Contact";
var messages = [
    [false, "Hello! Are we still meeting at the station tomorrow morning?"],
    [true, "Yes, at nine by the clock under the big window."],
    [false, "Perfect. I will bring the sketches of the new garden so that we can look at them over coffee."],
    [true, "Great, see you there."]
];

scene.getBoxById("heading").setAttribute("value", name);
scene.rootBox.setAttribute("title", name);
scene.getBoxById("status").setAttribute("value", params && params.state ? String(params.state) : "");

function bubble(ours, words) {
    var line = scene.createBox("hbox");
    line.setAttribute("style", "line");
    var gap = scene.createBox("box");
    gap.setAttribute("style", "gap");
    var box = scene.createBox("vbox");
    box.setAttribute("style", ours ? "ours" : "theirs");
    var text = scene.createBox("simpleText");
    text.setAttribute("style", ours ? "ourText" : "theirText");
    text.setAttribute("wordwrap", "true");
    text.setAttribute("value", words);
    box.addChild(text);
    if (ours) line.addChild(gap);
    line.addChild(box);
    if (!ours) line.addChild(gap);
    scene.getBoxById("messages").addChild(line);
}

for (var i = 0; i < messages.length; ++i)
    bubble(messages[i][0], messages[i][1]);

function goBack() {
    scene.close();
}

function onSoftKey(e) {
    if (e.menuId == kLeftSoftKey) goBack();
}

scene.rootBox.addEventHandler("menuCommand", "onSoftKey");
