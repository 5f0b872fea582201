// The sign-in screen: the button and the left soft key open the contact list over it; the right
// soft key and Back close it, which ends the program when it is the last scene.
var scene = __scriptHelper.getSceneProxy();
var kLeftSoftKey = 10001, kRightSoftKey = 10002;

function signIn() {
    shell.openScene("demo/contacts.box", null, "contacts", null, null, false);
}

function quit() {
    scene.close();
}

function onSoftKey(e) {
    if (e.menuId == kLeftSoftKey) signIn();
    else if (e.menuId == kRightSoftKey) quit();
}

scene.getBoxById("signIn").addEventHandler("click", "signIn");
scene.rootBox.addEventHandler("menuCommand", "onSoftKey");
