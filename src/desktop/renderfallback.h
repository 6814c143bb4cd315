#pragma once

// Qt Quick draws with OpenGL unless told otherwise. Where no OpenGL context can be had (a
// virtual machine, a remote desktop, the offscreen platform) the first window would abort the
// program, so the software renderer is chosen before any window exists.
namespace RenderFallback {

// Switches Qt Quick to its software renderer when no backend was chosen (QT_QUICK_BACKEND,
// QMLSCENE_DEVICE) and no OpenGL context can be created and made current. True when it switched.
// Call after the application object exists, before the first window.
bool chooseSceneGraphBackend();

} // namespace RenderFallback
