// Calls to the demo service's JSON endpoints with the session's token, shared by the list and the
// conversation: `done` gets the HTTP status (or the transport's failure status) and the parsed
// answer, null unless the status is 200 and the answer is JSON.
function callService(api, token, method, path, body, done) {
    var request = new XMLHttpRequest();
    request.onreadystatechange = function () {
        if (request.readyState != 4) return;
        var status = Number(request.status), value = null;
        if (status == 200) {
            try {
                value = JSON.parse(String(request.responseText));
            } catch (e) {
                status = -1;
            }
        }
        done(status, value);
    };
    request.open(method, api + path);
    request.setRequestHeader("Authorization", "Bearer " + token);
    if (body !== null) request.setRequestHeader("Content-Type", "application/json; charset=utf-8");
    request.send(body === null ? "" : JSON.stringify(body));
}

// What a failed call tells the user.
function troubleText(status) {
    if (status == 401) return "The session ended; sign in again.";
    if (status == 503) return "The service is busy; trying again\u2026";
    if (status == -1) return "The service answered something unreadable.";
    if (status >= 12000) return "The service cannot be reached; trying again\u2026";
    return "The service answered " + status + "; trying again\u2026";
}

var kPresenceNames = { available: "Available", away: "Away", busy: "Busy", offline: "Offline" };

function presenceText(presence) {
    return kPresenceNames[presence] || "Offline";
}
