#pragma once

// Registers the updater's four QML types in their order: ConfigData, HttpRequest,
// DecompressionFile, HttplanguagePackage.
void registerUpdaterQmlTypes();
