// The weathering tool: a photograph, a clicked path from clean to weathered, and
// weathering that spreads, is painted, or runs backwards.

#include <GL/freeglut.h>

#include <iostream>

#include "imageopen/ImageIO.h"
#include "main/Application.h"
#include "main/ControlPanel.h"

namespace {

void loadDefaultPhotograph()
{
    if (!ImageIO::load(inputImage, "./images/image1.jpg")) return;
    std::cerr << "input image loaded" << std::endl;
    adoptInputImage();
}

void loadDefaultMask()
{
    if (!ImageIO::load(maskImage, "image1_mask.jpg")) return;
    adoptMaskImage();  // ignored when there is no photograph to mask
}

void uploadModelTexture(unsigned int& texture, const std::uint32_t* rgba, int width, int height,
                        const PixelRect& changed)
{
    uploadRgbaTexture(texture, rgba, width, height, changed.x, changed.y, changed.width, changed.height);
}

void idleWithPanel()
{
    idle();
    refreshControlPanel();
}

}  // namespace

int main(int argc, char** argv)
{
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA);
    glutInitWindowSize(appState.windowWidth, appState.windowHeight);
    appState.mainWindow = glutCreateWindow("");
    glutKeyboardFunc(keyboard);
    glutMouseFunc(mouse);
    glutMotionFunc(motion);
    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    initGL();

    model.uploader = uploadModelTexture;
    loadDefaultPhotograph();
    loadDefaultMask();

    createControlPanel(inputImage.width + 20);
    glutIdleFunc(idleWithPanel);
    glutMainLoop();
    return 0;
}
