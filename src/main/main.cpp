// The weathering tool: a photograph, a clicked path from clean to weathered, and
// weathering that spreads, is painted, or runs backwards.

#include <GL/freeglut.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "imageopen/ImageIO.h"
#include "main/Application.h"
#include "main/CommandLine.h"
#include "main/ControlPanel.h"
#include "main/IdleSwitch.h"
#include "main/LoopStatistics.h"
#include "main/SleepingThreads.h"
#include "main/ViewControls.h"

namespace {

// The photograph shown is replaced only once the new one has been taken whole.
bool loadPhotograph(const std::string& name)
{
    ImageRect<MyAlgebra::vec3> loaded;
    if (!ImageIO::load(loaded, name.c_str()) || !adoptInputImage(loaded)) return false;
    std::cerr << "input image loaded" << std::endl;
    appState.photographPath = findFile(name);
    return true;
}

void loadDefaultPhotograph()
{
    loadPhotograph("./images/image1.jpg");
}

void loadDefaultMask()
{
    if (!ImageIO::load(maskImage, "image1_mask.jpg")) return;
    adoptMaskOfNewPhotograph();  // ignored when there is no photograph to mask
}

void cannotLoad(const std::string& name)
{
    std::cerr << "weathering: cannot load " << name << std::endl;
    std::exit(2);
}

void loadNamedFiles(const CommandLine& command)
{
    if (!loadPhotograph(fromHere(command.photograph))) cannotLoad(command.photograph);
    if (command.mask.empty()) return;
    if (!ImageIO::load(maskImage, fromHere(command.mask).c_str())) cannotLoad(command.mask);
    adoptMaskOfNewPhotograph();
}

// Help, version and usage errors end the tool before any window opens.
void answerWithoutWindow(const CommandLine& command)
{
    switch (command.action) {
    case CommandLine::Action::help:
        std::cout << usageText() << std::endl;
        std::exit(0);
    case CommandLine::Action::version:
        std::cout << "weathering " << WEATHERING_VERSION << std::endl;
        std::exit(0);
    case CommandLine::Action::usageError:
        std::cerr << command.error << std::endl;
        std::exit(2);
    case CommandLine::Action::run:
        break;
    }
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
    const CommandLine command = readCommandLine(argc, argv);
    answerWithoutWindow(command);
    restartWithSleepingThreads(argv);
    startLoopStatistics();
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA);
    glutInitWindowSize(appState.windowWidth, appState.windowHeight);
    appState.mainWindow = glutCreateWindow("");
    glutKeyboardFunc(keyboard);
    glutKeyboardUpFunc(keyboardUp);
    glutSpecialFunc(specialKey);
    glutIgnoreKeyRepeat(1);  // space is held to pan: its repeats are not presses
    glutMouseWheelFunc(viewWheel);
    glutMouseFunc(mouse);
    glutMotionFunc(motion);
    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    initGL();

    model.uploader = uploadModelTexture;
    if (command.photograph.empty()) {
        loadDefaultPhotograph();
        loadDefaultMask();
    } else {
        loadNamedFiles(command);
    }

    createControlPanel();
    installIdle(idleWithPanel);
    glutMainLoop();
    return 0;
}
