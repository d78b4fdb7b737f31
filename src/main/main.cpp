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
    ImageRect<MyAlgebra::vec3> loaded;
    if (!ImageIO::load(loaded, "./images/image1.jpg") || !adoptInputImage(loaded)) return;
    std::cerr << "input image loaded" << std::endl;
}

void loadDefaultMask()
{
    if (!ImageIO::load(maskImage, "image1_mask.jpg")) return;
    adoptMaskImage();  // ignored when there is no photograph to mask
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

    model.uploader = uploadRgbTexture;
    loadDefaultPhotograph();
    loadDefaultMask();

    createControlPanel(inputImage.width + 20);
    glutIdleFunc(idleWithPanel);
    glutMainLoop();
    return 0;
}
