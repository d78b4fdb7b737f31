// The weathering tool: a photograph, a clicked path from clean to weathered, and
// weathering that spreads, is painted, or runs backwards.

#include <GL/freeglut.h>

#include <cstdlib>
#include <iostream>

#include "imageopen/ImageIO.h"
#include "main/AppState.h"
#include "main/CommandLine.h"
#include "main/Commands.h"
#include "main/Display.h"
#include "main/IdleLoop.h"
#include "main/Keys.h"
#include "main/MainWindow.h"
#include "main/OutsideClose.h"
#include "main/Mouse.h"
#include "main/PanelInput.h"
#include "main/PanelLayout.h"
#include "main/PanelState.h"
#include "main/PanelWindow.h"
#include "main/SleepingThreads.h"

// The tool's whole mutable state, for the whole run.
AppState appState;
PanelState panelState;

namespace {

void cannotLoad(const std::string& name)
{
    std::cerr << "weathering: cannot load " << name << std::endl;
    quitTool(2);
}

// The default door and its mask, found through the search folders; either may be
// missing (without the door the mask is only read).
void loadDefaultFiles()
{
    constexpr const char* photograph = "./images/image1.jpg";
    if (!loadStartPhotograph(photograph))
        reportNoStartPhotograph(photograph);
    loadStartMask("image1_mask.jpg");
}

void loadNamedFiles(const CommandLine& command)
{
    if (!loadStartPhotograph(fromHere(command.photograph)))
        cannotLoad(command.photograph);
    if (!command.mask.empty() && !loadStartMask(fromHere(command.mask)))
        cannotLoad(command.mask);
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
    if (idleHasWork() || controlPanelWantsFrames())
        return;
    appState.idle.rest();
    wakeForNextStep();
}

void createMainWindow()
{
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA);
    glutInitWindowSize(appState.windowWidth, appState.windowHeight);
    appState.mainWindow = glutCreateWindow("");
    glutKeyboardFunc(keyboard);
    glutKeyboardUpFunc(keyboardUp);
    glutSpecialFunc(specialKey);
    glutIgnoreKeyRepeat(1);  // space is held to pan: its repeats are not presses
    glutMouseWheelFunc(mouseWheel);
    glutMouseFunc(mouse);
    glutMotionFunc(motion);
    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
}

void createControlPanel()
{
    openPanelWindow();
    installPanelInput();
    installPanelDisplay();
    glutSetWindow(appState.mainWindow);
}

}  // namespace

int main(int argc, char** argv)
{
    const CommandLine command = readCommandLine(argc, argv);
    answerWithoutWindow(command);
    restartWithSleepingThreads(argv);
    appState.statistics.start();
    glutInit(&argc, argv);
    createMainWindow();
    initGL();

    appState.session.model().uploader = uploadModelTexture;
    appState.session.setPhotographCheck(photographRefusalHere);
    MemoryBudget budget;
    budget.texture = true;
    budget.undoCopy = true;
    appState.session.setMemoryBudget(budget);
    if (command.photograph.empty())
        loadDefaultFiles();
    else
        loadNamedFiles(command);

    createControlPanel();
    endWhenClosedFromOutside();
    appState.idle.install(idleWithPanel);
    glutMainLoop();
    return 0;
}
