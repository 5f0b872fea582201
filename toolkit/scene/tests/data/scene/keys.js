var calls = [];
function onSave() {
    calls.push("save");
    probe.tick();
}
function onOk() {
    calls.push("ok");
    probe.tick();
}
