#pragma once

#include <QString>

// Text from messages and server replies that goes into a URL path or a local path. Ids are
// never trusted to be plain: "/", "..", "?" and "#" in them must not steer a request or a file.
namespace UrlSegment {

// `text` percent-encoded as exactly one path segment ("." and ".." included, which would
// otherwise climb).
QString encode(const QString &text);

// The last segment of `name` ("/" and "\" both separate), or empty when that is no usable file
// name ("", ".", "..", or one holding a drive colon or a control character).
QString plainFileName(const QString &name);

} // namespace UrlSegment
