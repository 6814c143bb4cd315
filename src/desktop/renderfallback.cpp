#include "renderfallback.h"

#include "logging.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace RenderFallback {

namespace {

bool openGlWorks()
{
    QOpenGLContext context;
    if (!context.create())
        return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return false;
    context.doneCurrent();
    return true;
}

} // namespace

bool softwareChosenByEnvironment()
{
    for (const char *name : {"QT_QUICK_BACKEND", "QMLSCENE_DEVICE"}) {
        const QByteArray value = qgetenv(name);
        if (value == "software" || value == "softwarecontext")
            return true;
    }
    return false;
}

void shareContextsForBrowser()
{
    if (!softwareChosenByEnvironment())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

bool chooseSceneGraphBackend()
{
    if (!qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") ||
        !qEnvironmentVariableIsEmpty("QMLSCENE_DEVICE"))
        return false;
    if (openGlWorks())
        return false;
    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    qCWarning(lcDesktop).noquote()
        << "no OpenGL context on the platform" << QGuiApplication::platformName()
        << "- Qt Quick uses its software renderer";
    return true;
}

} // namespace RenderFallback
