#include "main/Display.h"

#include <GL/freeglut.h>

#include <chrono>

#include "imageopen/GlErrorCheck.h"
#include "imageopen/TextureImageRect.h"
#include "main/AppState.h"
#include "main/OverlayGeometry.h"
#include "main/TextOverlay.h"
#include "main/WindowGeometry.h"

namespace {

void printStatistics(int)
{
    appState.statistics.print();
    glutTimerFunc(1000, printStatistics, 0);
}

bool degreesTicked()
{
    return appState.showDegrees != 0;
}

MainWindowLook currentLook()
{
    const WeatheringModel& model = appState.session.model();
    MainWindowLook look;
    look.picture = appState.texturesUploaded;
    look.pathPoints = model.imagePoints.size();
    if (!model.imagePoints.empty())
        look.lastPathPoint = model.imagePoints.back();
    look.outlinePoints = appState.outline.points.size();
    look.outlineStrokes = appState.outline.strokeCount();
    if (!appState.outline.points.empty())
        look.lastOutlinePoint = appState.outline.points.back();
    look.showOutline = appState.showOutline;
    look.mouseOperation = appState.mouseOperation;
    look.brushCenter = appState.brushCenter;
    look.brushSize = appState.session.settings().brushSize;
    look.dewethering = appState.session.settings().dewethering;
    look.view = appState.view.version();
    look.alternative = appState.alternatives.version(appState.session, degreesTicked());
    look.keysShown = appState.keysShown;
    return look;
}

void drawPathPoints()
{
    const std::vector<Point2f>& points = appState.session.model().imagePoints;
    const ViewTransform& view = appState.view.transform;
    const int n = static_cast<int>(points.size());
    const bool zoomed = !view.atFit();
    // Zoomed in, a point covers its pixel rather than the pixel's corner.
    const float offset = zoomed ? 0.5f : 0.0f;
    for (int i = 0; i < n; ++i) {
        const MyAlgebra::vec3 colour = pathPointColour(i, n);
        glColor3f(colour.x, colour.y, colour.z);
        glPointSize(pathPointSize(zoomed, view.pixelScale()));
        glBegin(GL_POINTS);
        glVertex2f(points[i].x + offset, points[i].y + offset);
        glEnd();
    }
}

void drawBrushCircle()
{
    const ModelSettings& settings = appState.session.settings();
    const ViewTransform& view = appState.view.transform;
    std::vector<Point2f>& vertices = appState.circleVertices;
    if (settings.dewethering != 0)
        glColor3f(0.2f, 1.0f, 0.0f);
    else
        glColor3f(1.0f, 0.0f, 0.0f);
    glLineWidth(1.5f);
    if (view.atFit())
        brushCircleVertices(appState.brushCenter.x, appState.brushCenter.y, settings.brushSize, vertices);
    else
        zoomedBrushCircleVertices(appState.brushCenter.x, appState.brushCenter.y, settings.brushSize, view.pixelScale(),
                                  vertices);
    glBegin(GL_LINE_LOOP);
    for (const Point2f& vertex : vertices)
        glVertex2f(vertex.x, vertex.y);
    glEnd();
}

// Past one screen pixel per photograph pixel a zoomed or magnified picture shows its
// pixels as squares; at the fit of an ordinary photograph it is drawn as it always was.
void setPictureFilter(unsigned int texture)
{
    if (texture == 0)
        return;
    const ViewTransform& view = appState.view.transform;
    const WeatheringModel& model = appState.session.model();
    const bool sharp = view.pixelScale() > 1.0 && (!view.atFit() || magnificationFor(model.width, model.height) > 1);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, sharp ? GL_NEAREST : GL_LINEAR);
}

void drawPicture()
{
    const WeatheringModel& model = appState.session.model();
    const unsigned int alternative = appState.alternatives.texture(appState.session, degreesTicked());
    const unsigned int texture = alternative != 0 ? alternative : appState.modelTexture;
    setPictureFilter(texture);
    drawTextureQuad(texture, model.displayWidth, model.displayHeight);
    drawPathPoints();
}

void drawOutline()
{
    const OutlinePath& outline = appState.outline;
    glColor3f(0.0f, 1.0f, 0.0f);
    for (std::size_t s = 0; s < outline.strokeCount(); ++s) {
        const OutlinePath::Stroke stroke = outline.stroke(s);
        if (stroke.count == 1) {
            glPointSize(2);
            glBegin(GL_POINTS);
            glVertex2f(stroke.points[0].x, stroke.points[0].y);
            glEnd();
            continue;
        }
        glLineWidth(2);
        glBegin(GL_LINE_STRIP);
        for (std::size_t i = 0; i < stroke.count; ++i)
            glVertex2f(stroke.points[i].x, stroke.points[i].y);
        glEnd();
    }
}

void noteFrame(double seconds)
{
    const MainWindowLook look = currentLook();
    if (look.mouseOperation == 1 && !samePoint(look.brushCenter, appState.drawnLook.brushCenter))
        appState.statistics.noteBrushShown(look.brushCenter.x, look.brushCenter.y);
    appState.drawnLook = look;
    appState.drawnOnce = true;
    if (appState.statistics.noteFrameShown(appState.modelTexture != 0, seconds))
        glutTimerFunc(1000, printStatistics, 0);
}

}  // namespace

void display()
{
    const auto start = std::chrono::steady_clock::now();
    CHECK_GL_ERROR();
    glClear(GL_COLOR_BUFFER_BIT);
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    // Texturing must be off for the overlays: with GL_REPLACE they would take the
    // texture's colour instead of their own.
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    drawPicture();
    if (appState.showOutline != 0)
        drawOutline();
    if (appState.mouseOperation == 1)
        drawBrushCircle();
    const int width = glutGet(GLUT_WINDOW_WIDTH);
    const int height = glutGet(GLUT_WINDOW_HEIGHT);
    if (!appState.session.hasPhotograph())
        drawNoPhotographHint(width, height);
    if (appState.keysShown)
        drawKeyOverlay(width, height);
    glPopAttrib();
    glutSwapBuffers();
    CHECK_GL_ERROR();
    noteFrame(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

bool mainWindowLookChanged()
{
    return !appState.drawnOnce || !sameLook(currentLook(), appState.drawnLook);
}
