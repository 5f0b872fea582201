// Imported under the scene's context name: it writes the markup script's globals and keeps its own.
gEvt = 'imported';
var kept = 'imported';
function onPing(e) { gEvt = e; }
