// Opens the file dialog from inside a freeglut callback, as the tool does, and
// reports on stdout what each call returned and what it left behind.
//
//   dialog_probe <working directory> <number of dialogs> [save]
//
// With "save" it opens the "Save Image" chooser instead, starting in the working
// directory with "door_weathered.png" suggested and the image types offered.
// Before every dialog but the first it waits for a line on stdin, so a test can
// look at the screen in between. After the dialogs it keeps running the GLUT
// loop, printing the input it receives, and exits at a right-button press.
#include "main/FileDialog.h"

#include <GL/freeglut.h>
#include <GL/glx.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

namespace {

std::string workingDirectory;
int dialogCount = 2;
bool saving = false;
bool dialogsDone = false;

void say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

const char* yesNo(bool value)
{
    return value ? "yes" : "no";
}

std::filesystem::path currentDirectory()
{
    std::error_code error;
    return std::filesystem::current_path(error);
}

void waitForGoAhead()
{
    std::string line;
    std::getline(std::cin, line);
}

void runDialogs()
{
    if (chdir(workingDirectory.c_str()) != 0)
        say("chdir failed: " + workingDirectory);
    const std::filesystem::path directoryBefore = currentDirectory();
    const int windowBefore = glutGetWindow();
    const GLXContext contextBefore = glXGetCurrentContext();
    std::string previousChoice;  // offered again, as the tool offers its last choice
    for (int i = 0; i < dialogCount; ++i) {
        if (i > 0)
            waitForGoAhead();
        const std::string chosen = saving
            ? saveFileDialog("Save Image", workingDirectory, "door_weathered.png", imageSaveTypes())
            : openFileDialog(previousChoice);
        if (!chosen.empty())
            previousChoice = chosen;
        say(chosen.empty() ? "chosen:" : "chosen: " + chosen);
    }
    say(std::string("cwd-restored: ") + yesNo(currentDirectory() == directoryBefore));
    say(std::string("window-restored: ") + yesNo(glutGetWindow() == windowBefore));
    say(std::string("context-restored: ") + yesNo(glXGetCurrentContext() == contextBefore));
    say("dialogs-done");
    dialogsDone = true;
}

void display()
{
    glClearColor(0.2f, 0.4f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glutSwapBuffers();
    // Only from the first frame on is the window mapped and able to take clicks.
    if (!dialogsDone)
        runDialogs();
}

void mouse(int button, int state, int x, int y)
{
    say("mouse: button " + std::to_string(button) + (state == GLUT_DOWN ? " down" : " up") + " at " +
        std::to_string(x) + " " + std::to_string(y));
    if (dialogsDone && button == GLUT_RIGHT_BUTTON && state == GLUT_DOWN)
        glutLeaveMainLoop();
}

void keyboard(unsigned char key, int, int)
{
    say("key: " + std::to_string(key));
}

}  // namespace

int main(int argc, char** argv)
{
    glutInit(&argc, argv);
    if (argc != 3 && !(argc == 4 && std::string(argv[3]) == "save")) {
        std::fprintf(stderr, "usage: %s <working directory> <number of dialogs> [save]\n", argv[0]);
        return 2;
    }
    workingDirectory = argv[1];
    dialogCount = std::atoi(argv[2]);
    saving = argc == 4;
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    // Bottom right of a 1280x1024 screen, clear of the dialog at the top left.
    glutInitWindowPosition(1100, 850);
    glutInitWindowSize(160, 150);
    glutCreateWindow("dialog probe");
    glutDisplayFunc(display);
    glutMouseFunc(mouse);
    glutKeyboardFunc(keyboard);
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    glutMainLoop();
    return 0;
}
