// The built-in dialog's script: it reads the params the dialog was opened with, shows the texts
// where the boxes can take them, and answers through the params' "results" object.
var dialogScene = __scriptHelper.getSceneProxy();
var dialogParams = dialogScene ? dialogScene.paramsDictionary : null;

function dialogParam(name) {
    if (!dialogParams) return "";
    var value = dialogParams[name];
    return value === undefined || value === null ? "" : String(value);
}

// A box the dialog can write to: boxes answer setAttribute once the Box class has its members.
function dialogBox(id) {
    var box = dialogScene && dialogScene.getBoxById ? dialogScene.getBoxById(id) : null;
    return box && box.setAttribute ? box : null;
}

function dialogShowTexts() {
    var type = dialogParam("dialogType");
    var texts = {
        title : dialogParam("titleText"),
        body : dialogParam("bodyText"),
        input : dialogParam("inputText"),
        confirmButton : dialogParam("confirmButton") || "OK",
        cancelButton : dialogParam("cancelButton")
    };
    for (var id in texts) {
        var box = dialogBox(id);
        if (box) box.setAttribute("value", texts[id]);
    }
    var input = dialogBox("input");
    if (input && type == "prompt") input.setAttribute("hidden", "false");
    var cancel = dialogBox("cancelButton");
    if (cancel && type == "confirm") cancel.setAttribute("hidden", "false");
}

function dialogFinish(button) {
    var results = dialogParams ? dialogParams["results"] : null;
    if (results) {
        results.button = button;
        if (dialogParam("dialogType") == "prompt") {
            var input = dialogBox("input");
            results.inputText = input ? input.getAttribute("value") : dialogParam("inputText");
        }
    }
    if (dialogScene) dialogScene.close();
}

function dialogConfirm() { dialogFinish("confirm"); }

function dialogCancel() { dialogFinish("cancel"); }

dialogShowTexts();
