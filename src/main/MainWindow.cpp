#include "main/MainWindow.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include "imageopen/ImageSupport.h"
#include "imageopen/TextureImageRect.h"
#include "main/AppState.h"
#include "main/PhotographLimits.h"
#include "main/SwapControl.h"

void initGL()
{
    disableSwapInterval();
    glutSetWindow(appState.mainWindow);
    glClearColor(0, 0, 0, 0);
    glDisable(GL_DEPTH_TEST);
    appState.stopwatch.start();
    initImageSupport();
}

WindowSize screenSize()
{
    return {glutGet(GLUT_SCREEN_WIDTH), glutGet(GLUT_SCREEN_HEIGHT)};
}

namespace {

WindowSize fittedWindowSize()
{
    const WeatheringSession::PhotographSize& photograph = appState.session.photograph();
    return fitWindowToScreen(photograph.width, photograph.height, appState.imageAspect, screenSize());
}

}  // namespace

void fitWindowToImage()
{
    const WindowSize size = fittedWindowSize();
    appState.windowWidth = size.width;
    appState.windowHeight = size.height;
}

std::string photographRefusalHere(int width, int height)
{
    GLint largestTextureSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largestTextureSide);
    return photographRefusal(width, height, largestTextureSide);
}

bool showNewPhotograph()
{
    const WeatheringSession::PhotographSize& photograph = appState.session.photograph();
    appState.view.reset(photograph.width, photograph.height);
    appState.outline.clear();
    appState.imageAspect = static_cast<float>(static_cast<double>(photograph.height) / photograph.width);
    const int oldWidth = appState.windowWidth;
    fitWindowToImage();
    appState.fitPending = true;
    glutReshapeWindow(appState.windowWidth, appState.windowHeight);
    // A window that has the fitted size already (a window answering while the start-up
    // photograph was decoded, then a photograph that fits it) gets no reshape from
    // GLUT: the projection follows the new photograph here.
    if (glutGet(GLUT_WINDOW_WIDTH) == appState.windowWidth && glutGet(GLUT_WINDOW_HEIGHT) == appState.windowHeight)
        reshape(appState.windowWidth, appState.windowHeight);
    glutPostRedisplay();
    return appState.windowWidth != oldWidth;
}

void uploadModelTexture(const std::uint32_t* rgba, int width, int height, const PixelRect& changed)
{
    // A refresh that changed nothing needs no upload, unless there is no texture yet.
    if (appState.modelTexture != 0 && (changed.width <= 0 || changed.height <= 0))
        return;
    uploadRgbaTexture(appState.modelTexture, rgba, width, height, changed.x, changed.y, changed.width, changed.height);
    ++appState.texturesUploaded;
}

void reshape(int w, int h)
{
    if (h < 1)
        return;
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const WeatheringSession::PhotographSize& photograph = appState.session.photograph();
    if (photograph.empty()) {
        // No photograph yet: nothing to keep the aspect of, so the window stays as
        // the user made it and one unit is one window pixel.
        gluOrtho2D(0, w, 0, h);
        appState.windowWidth = w;
        appState.windowHeight = h;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        return;
    }
    appState.windowWidth = w;
    appState.scaleX = static_cast<float>(w) / photograph.width;
    appState.scaleY = static_cast<float>(h) / photograph.height;
    appState.windowHeight = heightForWidth(w, appState.imageAspect);
    appState.view.transform.setWindow(w, h, appState.scaleX, appState.scaleY, appState.windowHeight);
    appState.view.applyProjection();
    glLoadIdentity();
    if (appState.fitPending) {
        appState.fitPending = false;
        const WindowSize fit = fittedWindowSize();
        if (w != fit.width) {
            glutReshapeWindow(fit.width, fit.height);  // a size from before the fit
            return;
        }
    }
    // The width wins; the height follows the photograph's aspect.
    if (appState.windowHeight != h)
        glutReshapeWindow(appState.windowWidth, appState.windowHeight);
}
