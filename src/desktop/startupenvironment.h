#pragma once

#include <QRect>
#include <QString>

// Start-up choices about the display: the application font and the scale of the documents.
namespace StartupEnvironment {

// The first family of the preferred list that the font database holds; empty when none.
QString preferredFontFamily();
// min(ceil(width / 2560), ceil(height / 1440)) of the primary screen, at least 1.
int screenRate(const QRect &geometry);

} // namespace StartupEnvironment
