// What the script API tests ask of a scene's engine: a value described as text, and a call's
// value or its failure's number.
function describe(v) {
    if (v === undefined) return "undefined";
    if (v === null) return "null";
    if (typeof v == "object" || typeof v == "function") return "[" + probe.className(v) + "]";
    return typeof v + ":" + String(v);
}

function call(f) {
    try {
        return describe(f());
    } catch (e) {
        return "error:" + (e.number >>> 0).toString(16);
    }
}
