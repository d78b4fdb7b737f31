#include "imageopen/GlErrorCheck.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdio>

void reportGlError(const char* file, int line)
{
    const GLenum code = glGetError();
    if (code == GL_NO_ERROR)
        return;
    std::printf("OpenGL Error: %s (File: %s, line %d)\n", reinterpret_cast<const char*>(gluErrorString(code)), file,
                line);
    std::fflush(stdout);
}
