// The built-in dialog's script: it shows the texts of the params the dialog was opened with and
// answers through the params' "results" object, from its buttons, Enter, Escape and Back.
var dialogScene = __scriptHelper.getSceneProxy();
var dialogParams = dialogScene ? dialogScene.paramsDictionary : null;

function dialogParam(name) {
    if (!dialogParams) return "";
    var value = dialogParams[name];
    return value === undefined || value === null ? "" : String(value);
}

function dialogBox(id) {
    return dialogScene ? dialogScene.getBoxById(id) : null;
}

function dialogShowTexts() {
    var type = dialogParam("dialogType");
    var texts = {
        title : dialogParam("titleText"),
        body : dialogParam("bodyText"),
        input : dialogParam("inputText"),
        confirmLabel : dialogParam("confirmButton") || "OK",
        cancelLabel : dialogParam("cancelButton") || "Cancel"
    };
    for (var id in texts) {
        var box = dialogBox(id);
        if (box) box.setAttribute("value", texts[id]);
    }
    var input = dialogBox("input");
    if (input && type == "prompt") input.setAttribute("collapsed", "false");
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
var dialogConfirmButton = dialogBox("confirmButton"), dialogCancelButton = dialogBox("cancelButton");
if (dialogConfirmButton) dialogConfirmButton.addEventHandler("click", "dialogConfirm");
if (dialogCancelButton) dialogCancelButton.addEventHandler("click", "dialogCancel");
