import QtQuick 2.12
import LanguageTextsBase 1.0

// Puts the loaded language package's texts into a document's tip_* properties. A key the package
// lacks gets the document's built-in text back, never the previous language's text: target,
// languagePackage, defaults, captureDefaults(), apply() and text(key, fallback).
LanguageTextsBase {
}
