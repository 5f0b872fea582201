// Screens push in and out: a screen opened pushes the last one out to the left; going back pushes
// the earlier one in from the left. Without snapshots (a box not laid out yet) the change is instant.
var kPushMs = 250;
var pushingScene = __scriptHelper.getSceneProxy();

function pushScreens(fromBox, toBox, onBox, effect) {
    if (!fromBox || !toBox || !onBox) return;
    var from = fromBox.takeSnapshot(), to = toBox.takeSnapshot();
    var transition = onBox.newTransition();
    if (!from || !to || !transition) return;
    transition.type = effect;
    transition.duration = kPushMs;
    transition.perform(from, to);
}

// Opens a screen over this one and pushes it in.
function openPushed(url, name, params) {
    var from = pushingScene.rootBox.takeSnapshot();
    var opened = shell.openScene(url, null, name, params, null, false);
    if (!opened || !from) return opened;
    var to = opened.rootBox.takeSnapshot();
    var transition = opened.rootBox.newTransition();
    if (to && transition) {
        transition.type = "pushLeft";
        transition.duration = kPushMs;
        transition.perform(from, to);
    }
    return opened;
}

// Pushes this screen out to the right, uncovering the named one, then closes it.
function closePushed(underName) {
    var under = shell.getSceneByName(underName);
    if (under) pushScreens(pushingScene.rootBox, under.rootBox, pushingScene.rootBox, "pushRight");
    pushingScene.close();
}
