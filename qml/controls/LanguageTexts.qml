import QtQuick 2.12

// Puts the loaded language package's texts into a document's tip_* properties. A key the package
// lacks gets the document's built-in text back, never the previous language's text.
QtObject {
    // The document whose tip_* properties are set, and its HttplanguagePackage.
    property QtObject target: null
    property QtObject languagePackage: null
    // The built-in texts, taken from the target before the first package is applied.
    property var defaults: null

    function captureDefaults() {
        var found = {}
        for (var name in target) {
            if (name.indexOf("tip_") === 0 && typeof target[name] === "string")
                found[name] = target[name]
        }
        defaults = found
    }
    function apply() {
        if (!target || !languagePackage)
            return
        if (defaults === null)
            captureDefaults()
        for (var name in defaults) {
            var text = languagePackage.getLangFileName(name.substring(4))
            var wanted = text !== "" ? text : defaults[name]
            if (target[name] !== wanted)
                target[name] = wanted
        }
    }
    // A text that is not a property: the package's, or the given built-in one.
    function text(key, fallback) {
        var found = languagePackage ? languagePackage.getLangFileName(key) : ""
        return found !== "" ? found : fallback
    }
}
