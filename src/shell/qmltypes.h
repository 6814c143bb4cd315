#pragma once

// Registers the QML-facing classes of the client, in their fixed order. Each class is registered
// under its own name as module and type, version 1.0. Used by the client, the tests and any
// harness that loads the documents.
void registerQmlTypes();
