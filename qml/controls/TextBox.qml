import QtQuick 2.12
import "../style"

// A one-line text field drawn here (frame, placeholder, text) rather than by a style plugin: the
// sign-in views use it, and their first frame then waits for no plugin beyond Qt Quick's own.
TextInput {
    id: field
    property string placeholderText: ""
    property color placeholderTextColor: Style.standardPalette.sub
    property color backgroundColor: Style.standardPalette.input
    property color borderColor: Style.standardPalette.fieldBorder
    property color focusBorderColor: Style.defaultSkin
    // The frame is drawn thicker while the field has the keyboard.
    property real focusBorderWidth: 1
    property real radius: Style.radius

    activeFocusOnTab: true
    selectByMouse: true
    verticalAlignment: TextInput.AlignVCenter
    // A reader speaks the hint where Qt withholds a password field's name.
    Accessible.role: Accessible.EditableText
    Accessible.description: placeholderText

    Rectangle {
        // Beneath the text.
        z: -1
        anchors.fill: parent
        radius: field.radius
        color: field.backgroundColor
        border.width: field.activeFocus ? field.focusBorderWidth : 1
        border.color: field.activeFocus ? field.focusBorderColor : field.borderColor
    }
    Text {
        anchors.fill: parent
        leftPadding: field.leftPadding
        rightPadding: field.rightPadding
        verticalAlignment: Text.AlignVCenter
        textFormat: Text.PlainText
        visible: field.text === "" && field.preeditText === ""
        // Laid out only while shown: a filled field costs no shaping of its hint.
        text: visible ? field.placeholderText : ""
        elide: Text.ElideRight
        font: field.font
        color: field.placeholderTextColor
    }
}
