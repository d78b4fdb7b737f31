#include <GL/freeglut.h>

#include <chrono>
#include <vector>

#include "imageopen/GlErrorCheck.h"
#include "main/AlternativePictures.h"
#include "main/Application.h"
#include "main/LoopStatistics.h"
#include "main/OverlayGeometry.h"
#include "main/ViewControls.h"

namespace {

// Everything a frame of the main window shows, to tell whether a new frame would differ
// from the last one drawn.
struct MainWindowLook {
    unsigned int picture = 0;
    size_t pathPoints = 0;
    Point2f lastPathPoint = {0.0f, 0.0f};
    size_t outlinePoints = 0;
    size_t outlineStrokes = 0;
    Point2f lastOutlinePoint = {0.0f, 0.0f};
    int showOutline = 0;
    int mouseOperation = 0;
    Point2f brushCenter = {0.0f, 0.0f};
    float brushSize = 0.0f;
    int dewethering = 0;
    unsigned int view = 0;
    unsigned int alternative = 0;
};

bool samePoint(Point2f a, Point2f b)
{
    return a.x == b.x && a.y == b.y;
}

bool sameLook(const MainWindowLook& a, const MainWindowLook& b)
{
    return a.picture == b.picture && a.pathPoints == b.pathPoints && samePoint(a.lastPathPoint, b.lastPathPoint) &&
           a.outlinePoints == b.outlinePoints && a.outlineStrokes == b.outlineStrokes &&
           samePoint(a.lastOutlinePoint, b.lastOutlinePoint) &&
           a.showOutline == b.showOutline && a.mouseOperation == b.mouseOperation &&
           samePoint(a.brushCenter, b.brushCenter) && a.brushSize == b.brushSize && a.dewethering == b.dewethering &&
           a.view == b.view && a.alternative == b.alternative;
}

MainWindowLook currentLook()
{
    MainWindowLook look;
    look.picture = modelPictureVersion();
    look.pathPoints = model.imagePoints.size();
    if (!model.imagePoints.empty()) look.lastPathPoint = model.imagePoints.back();
    look.outlinePoints = outline.points.size();
    look.outlineStrokes = outline.strokeCount();
    if (!outline.points.empty()) look.lastOutlinePoint = outline.points.back();
    look.showOutline = appState.showOutline;
    look.mouseOperation = appState.mouseOperation;
    look.brushCenter = appState.brushCenter;
    look.brushSize = appState.settings.brushSize;
    look.dewethering = appState.settings.dewethering;
    look.view = viewVersion();
    look.alternative = alternativePictureVersion();
    return look;
}

MainWindowLook drawnLook;
bool drawnOnce = false;

void drawPathPoints()
{
    const int n = static_cast<int>(model.imagePoints.size());
    const bool zoomed = !view.atFit();
    // Zoomed in, a point covers its pixel rather than the pixel's corner.
    const float offset = zoomed ? 0.5f : 0.0f;
    for (int i = 0; i < n; ++i) {
        const MyAlgebra::vec3 colour = pathPointColour(i, n);
        glColor3f(colour.x, colour.y, colour.z);
        glPointSize(pathPointSize(zoomed, view.pixelScale()));
        glBegin(GL_POINTS);
        glVertex2f(model.imagePoints[i].x + offset, model.imagePoints[i].y + offset);
        glEnd();
    }
}

void drawBrushCircle()
{
    static std::vector<Point2f> vertices;  // kept so that frames allocate nothing
    if (appState.settings.dewethering != 0)
        glColor3f(0.2f, 1.0f, 0.0f);
    else
        glColor3f(1.0f, 0.0f, 0.0f);
    glLineWidth(1.5f);
    if (view.atFit())
        brushCircleVertices(appState.brushCenter.x, appState.brushCenter.y, appState.settings.brushSize, vertices);
    else
        zoomedBrushCircleVertices(appState.brushCenter.x, appState.brushCenter.y, appState.settings.brushSize,
                                  view.pixelScale(), vertices);
    glBegin(GL_LINE_LOOP);
    for (const Point2f& vertex : vertices) glVertex2f(vertex.x, vertex.y);
    glEnd();
}

}  // namespace

// Past one screen pixel per photograph pixel a zoomed or magnified picture shows its
// pixels as squares; at the fit of an ordinary photograph it is drawn as it always was.
void setPictureFilter(unsigned int texture)
{
    if (texture == 0) return;
    const bool sharp = view.pixelScale() > 1.0 && (!view.atFit() || magnificationFor(model.width, model.height) > 1);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, sharp ? GL_NEAREST : GL_LINEAR);
}

void drawPoints()
{
    const unsigned int alternative = alternativeTexture();
    const unsigned int texture = alternative != 0 ? alternative : modelTexture();
    setPictureFilter(texture);
    drawTextureQuad(texture, model.displayWidth, model.displayHeight);
    drawPathPoints();
}

void drawOutline()
{
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
        for (std::size_t i = 0; i < stroke.count; ++i) glVertex2f(stroke.points[i].x, stroke.points[i].y);
        glEnd();
    }
}

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
    drawPoints();
    if (appState.showOutline != 0) drawOutline();
    if (appState.mouseOperation == 1) drawBrushCircle();
    glPopAttrib();
    glutSwapBuffers();
    CHECK_GL_ERROR();
    const MainWindowLook look = currentLook();
    if (look.mouseOperation == 1 && !samePoint(look.brushCenter, drawnLook.brushCenter))
        noteBrushShown(look.brushCenter.x, look.brushCenter.y);
    drawnLook = look;
    drawnOnce = true;
    noteFrameShown(modelTexture() != 0, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

bool mainWindowLookChanged()
{
    return !drawnOnce || !sameLook(currentLook(), drawnLook);
}
