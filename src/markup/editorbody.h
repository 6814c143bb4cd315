#pragma once

#include <QString>

// What the message editor sends of its rich-text document.
namespace EditorBody {

// The body of the editor's document as one line of HTML: paragraphs become line breaks, Qt's
// paragraph and span styles are dropped, empty lines at either end go.
QString of(const QString &html);

// A body that shows a server picture (a link the server serves, absolute or relative).
bool hasServerPicture(const QString &body);

} // namespace EditorBody
