#pragma once

// Qt Quick draws with OpenGL unless told otherwise. Where no OpenGL context can be had (a
// virtual machine, a remote desktop, the offscreen platform) the first window would abort the
// program, so the software renderer is chosen before any window exists.
namespace RenderFallback {

// Switches Qt Quick to its software renderer when no backend was chosen (QT_QUICK_BACKEND,
// QMLSCENE_DEVICE) and no OpenGL context can be created and made current. True when it switched.
// Call after the application object exists, before the first window.
bool chooseSceneGraphBackend();

// Whether the environment already chose the software renderer (QT_QUICK_BACKEND or
// QMLSCENE_DEVICE). Known before the application object exists, unlike the fallback above.
bool softwareChosenByEnvironment();

// Asks for contexts shared with the built-in browser's engine, unless the software renderer was
// chosen: then no window draws with OpenGL, and the shared context would only load the OpenGL
// driver (on a software rasteriser some 100 ms and 60 MB) for nothing. Call before the
// application object exists.
void shareContextsForBrowser();

} // namespace RenderFallback
