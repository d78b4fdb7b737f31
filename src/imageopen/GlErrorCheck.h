#pragma once

// Reads one pending OpenGL error and, if there is one, prints
// "OpenGL Error: <text> (File: <file>, line <n>)" to standard output.
// A macro so that every check reports its own place.
#define CHECK_GL_ERROR() reportGlError(__FILE__, __LINE__)

void reportGlError(const char* file, int line);
