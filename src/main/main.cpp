// The weathering tool: a photograph, a clicked path from clean to weathered, and
// weathering that spreads, is painted, or runs backwards.

#include <GL/freeglut.h>

#include <iostream>

#include "imageopen/ImageIO.h"
#include "main/Application.h"
#include "main/ControlPanel.h"
#include "main/IdleSwitch.h"
#include "main/LoopStatistics.h"
#include "main/SleepingThreads.h"

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
    adoptMaskOfNewPhotograph();  // ignored when there is no photograph to mask
}

// The panel first, so that a change made there applies before the next step.
void idleWithPanel()
{
    refreshControlPanel();
    idle();
    if (!idleHasWork() && !controlPanelWantsFrames()) restIdle();
}

}  // namespace

int main(int argc, char** argv)
{
    restartWithSleepingThreads(argv);
    startLoopStatistics();
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
    installIdle(idleWithPanel);
    glutMainLoop();
    return 0;
}
