#include "main/TextOverlay.h"

#include <GL/freeglut.h>

#include <algorithm>

#include "main/KeyTable.h"

namespace {

void* const font = GLUT_BITMAP_HELVETICA_12;
constexpr int lineHeight = 16;
constexpr int margin = 10;
constexpr int columnGap = 14;

int textWidth(const char* text)
{
    return glutBitmapLength(font, reinterpret_cast<const unsigned char*>(text));
}

void text(int x, int y, const char* line)
{
    glRasterPos2i(x, y);
    glutBitmapString(font, reinterpret_cast<const unsigned char*>(line));
}

// Window pixels, origin at the lower left, for the drawing in between; the view's
// matrices come back after.
class WindowPixelSpace {
public:
    WindowPixelSpace(int width, int height)
    {
        glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
        glDisable(GL_TEXTURE_2D);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0, width, 0, height, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
    }
    ~WindowPixelSpace()
    {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glPopAttrib();
    }
    WindowPixelSpace(const WindowPixelSpace&) = delete;
    WindowPixelSpace& operator=(const WindowPixelSpace&) = delete;
};

void shadedBox(int x0, int y0, int x1, int y1)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.8f);
    glRecti(x0, y0, x1, y1);
    glDisable(GL_BLEND);
}

}  // namespace

void drawKeyOverlay(int windowWidth, int windowHeight)
{
    const WindowPixelSpace space(windowWidth, windowHeight);
    constexpr const char* title = "Keys and mouse (? or F1 hides this)";
    int keysWidth = 0;
    int actionsWidth = 0;
    for (std::size_t i = 0; i < keyTableSize; ++i) {
        keysWidth = std::max(keysWidth, textWidth(keyTable[i].keys));
        actionsWidth = std::max(actionsWidth, textWidth(keyTable[i].action));
    }
    const int width = std::max(textWidth(title), keysWidth + columnGap + actionsWidth) + 2 * margin;
    const int height = static_cast<int>(keyTableSize + 1) * lineHeight + 2 * margin;
    const int top = windowHeight - margin;
    shadedBox(margin, top - height, margin + width, top);
    int baseline = top - margin - lineHeight + 4;
    glColor3f(1.0f, 0.85f, 0.4f);
    text(2 * margin, baseline, title);
    for (std::size_t i = 0; i < keyTableSize; ++i) {
        baseline -= lineHeight;
        glColor3f(1.0f, 0.85f, 0.4f);
        text(2 * margin, baseline, keyTable[i].keys);
        glColor3f(1.0f, 1.0f, 1.0f);
        text(2 * margin + keysWidth + columnGap, baseline, keyTable[i].action);
    }
}

void drawNoPhotographHint(int windowWidth, int windowHeight)
{
    const WindowPixelSpace space(windowWidth, windowHeight);
    constexpr const char* hint = "Load Image ... opens a photograph";
    glColor3f(0.85f, 0.85f, 0.85f);
    text((windowWidth - textWidth(hint)) / 2, windowHeight / 2, hint);
}
