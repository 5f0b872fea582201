// The sign-in screen: signs in through the web login client, answers the service's question when it
// asks one, keeps the name and the protected password when "Remember me" is ticked, and opens the
// contact list with the session. The list signs out through this scene, which keeps the client.
var scene = __scriptHelper.getSceneProxy();
var app = shell.app;
var kLeftSoftKey = 10001, kRightSoftKey = 10002;
// The transport's failure statuses: nothing answered, or the connection broke.
var kUnreachable = 12029, kTimedOut = 12002;
var kLoginRequest = 1;

var login = scene.getBoxById("login");
var password = scene.getBoxById("password");
var answer = scene.getBoxById("answer");
var message = scene.getBoxById("message");
// Without the program's host objects (a toolkit alone opening this scene) there is nothing to keep.
var storage = typeof keyValueStorage != "undefined" ? new keyValueStorage() : null;
if (storage) storage.open(app.productId); // the program's own storage, which the removal deletes

var remembered = false;
var busy = false;
var auth = typeof xOpenAuth != "undefined" ? new xOpenAuth() : {};
auth.devId = app.devKey;
auth.clientName = app.productName;
auth.clientVersion = app.version;
auth.userAgent = app.userAgent;
auth.locale = app.locale;
auth.listener = { onAuthResponse: function (request, response) { answered(response); } };

// What the sign-in has to say: a fault unless `news` is set (signing in, signed out).
function say(text, news) {
    message.setAttribute("style", news ? "news" : "fault");
    message.setAttribute("value", text);
}

function setRemembered(on) {
    remembered = on;
    scene.getBoxById("tick").setAttribute("topIndex", on ? "1" : "0");
}

function toggleRemembered() {
    setRemembered(!remembered);
}

function showQuestion(text) {
    var asking = text != "";
    scene.getBoxById("question").setAttribute("value", text);
    scene.getBoxById("question").setAttribute("collapsed", asking ? "false" : "true");
    scene.getBoxById("answerEdge").setAttribute("collapsed", asking ? "false" : "true");
    if (!asking) answer.setAttribute("value", "");
}

function valueOf(box) {
    var text = box.getAttribute("value");
    return text ? String(text) : "";
}

function signIn() {
    if (busy) return;
    var name = valueOf(login), secret = valueOf(password);
    if (name == "" || secret == "") {
        say("Type your name and your password.");
        return;
    }
    busy = true;
    say("Signing in\u2026", true);
    auth.loginId = name;
    auth.password = secret;
    auth.ASQAnswer = valueOf(answer);
    try {
        auth.login();
    } catch (e) {
        busy = false;
        say("The sign-in could not start (" + (e.number >>> 0).toString(16) + ").");
    }
}

// Keeping is a convenience: a registry that cannot keep anything does not stop the sign-in.
function remember(name, secret) {
    if (!storage) return;
    try {
        if (remembered) {
            storage.setValue("loginId", name);
            storage.setValue("password", app.protectString(secret));
        } else {
            storage.removeKey("loginId");
            storage.removeKey("password");
        }
    } catch (e) {
    }
}

function textOf(value) {
    return value === null || value === undefined ? "" : String(value);
}

// The token goes only where the password may: to an https address.
function isSecureAddress(address) {
    return address.substring(0, 8).toLowerCase() == "https://" && address.length > 8;
}

// The login's answer; a logout's needs nothing more.
function answered(response) {
    if (Number(response.requestType) != kLoginRequest) return;
    busy = false;
    var status = Number(response.httpStatusCode);
    if (status == kUnreachable || status == kTimedOut || status == 0) {
        say("The service cannot be reached. Is it running?");
        return;
    }
    if (status != 200) {
        say("The service answered " + status + " " + response.httpStatusText + ".");
        return;
    }
    var code = Number(response.statusCode);
    if (code == 330) {
        showQuestion(String(response.challengeInfo));
        say(String(response.statusText));
        return;
    }
    if (code != 200) {
        say(response.statusText ? String(response.statusText) : "The service refused the sign-in (" + code + ").");
        return;
    }
    // A session needs its token and its signing key; an answer without them signed nobody in.
    var token = textOf(auth.authToken), api = textOf(response.redirectUrl);
    if (token == "" || textOf(auth.sessionKey) == "") {
        say("The service's answer opened no session.");
        return;
    }
    if (!isSecureAddress(api)) {
        say("The service named an address that is not secure.");
        return;
    }
    auth.context = "";
    showQuestion("");
    remember(valueOf(login), valueOf(password));
    say("");
    var params = new xDictionary();
    params.api = api;
    params.token = token;
    params.user = String(response.userDataDisplayName);
    openPushed("demo/contacts.box", "contacts", params);
}

// The list asks for this when the user signs out: the session ends at the service too.
function signOut() {
    try {
        auth.logout();
    } catch (e) {
    }
    if (!remembered) password.setAttribute("value", "");
    say("Signed out.", true);
}

function quit() {
    scene.close();
}

function onSoftKey(e) {
    if (e.menuId == kLeftSoftKey) signIn();
    else if (e.menuId == kRightSoftKey) quit();
}

function onMessage(e) {
    if (e.message == "signOut") signOut();
}

// What an earlier run kept; nothing when the registry cannot be read.
function recall(name) {
    try {
        return storage ? storage.getValue(name) : null;
    } catch (e) {
        return null;
    }
}

var rememberedName = recall("loginId");
if (rememberedName) {
    login.setAttribute("value", String(rememberedName));
    var sealed = recall("password");
    var plain = sealed ? app.unprotectString(sealed) : "";
    if (plain) password.setAttribute("value", String(plain));
    setRemembered(true);
}

scene.getBoxById("signIn").addEventHandler("click", "signIn");
scene.getBoxById("remember").addEventHandler("click", "toggleRemembered");
scene.rootBox.addEventHandler("menuCommand", "onSoftKey");
scene.rootBox.addEventHandler("message", "onMessage");
