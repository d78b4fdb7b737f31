// Uploads the same colours twice, as floats (GL converts them) and as the 8-bit RGBA of
// rgbToRgba8, whole and by rectangles, reads both textures back and draws both, and
// compares. Prints what differs; exits 0 when the two agree texel for texel and pixel for
// pixel.
#include "colour/Rgba8.h"
#include "imageopen/TextureImageRect.h"

#include <GL/freeglut.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

using MyAlgebra::vec3;

namespace {

constexpr int side = 256;

// Every tie between two byte values, the floats next to them, the ends of the range,
// values outside it and NaN, then random colours.
std::vector<vec3> awkwardColours(std::mt19937& rng)
{
    std::vector<float> values;
    for (int k = 0; k < 255; ++k) {
        const float tie = (static_cast<float>(k) + 0.5f) / 255.0f;
        values.push_back(tie);
        values.push_back(std::nextafter(tie, 0.0f));
        values.push_back(std::nextafter(tie, 1.0f));
        values.push_back(static_cast<float>(k) / 255.0f);
    }
    for (float v : {0.0f, -0.0f, 1.0f, -1e-30f, 1.0000001f, 0.99999994f, -5.0f, 7.0f, NAN, INFINITY, -INFINITY})
        values.push_back(v);
    std::uniform_real_distribution<float> any(-0.1f, 1.1f);
    std::vector<vec3> colours(side * side);
    for (size_t i = 0; i < colours.size(); ++i) {
        if (3 * i + 2 < values.size())
            colours[i] = {values[3 * i], values[3 * i + 1], values[3 * i + 2]};
        else
            colours[i] = {any(rng), any(rng), any(rng)};
    }
    return colours;
}

std::vector<std::uint8_t> texels(GLuint texture)
{
    std::vector<std::uint8_t> bytes(side * side * 4);
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return bytes;
}

std::vector<std::uint8_t> drawn(GLuint texture)
{
    glClear(GL_COLOR_BUFFER_BIT);
    drawTextureQuad(texture, side, side);
    std::vector<std::uint8_t> pixels(side * side * 4);
    glReadPixels(0, 0, side, side, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

int differing(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    int n = 0;
    for (size_t k = 0; k < a.size(); k += 4)
        n += std::memcmp(&a[k], &b[k], 3) != 0 ? 1 : 0;
    return n;
}

int failures = 0;

void check(const char* what, int count)
{
    std::printf("%s: %d texels differ\n", what, count);
    failures += count != 0 ? 1 : 0;
}

void probe()
{
    std::mt19937 rng(3);
    std::vector<vec3> colours = awkwardColours(rng);
    std::vector<std::uint32_t> rgba(colours.size());
    rgbToRgba8(colours.data(), rgba.data(), side * side);

    GLuint asFloats = 0, asBytes = 0;
    uploadRgbTexture(asFloats, colours.data(), side, side);
    uploadRgbaTexture(asBytes, rgba.data(), side, side, 0, 0, side, side);
    check("whole texture", differing(texels(asFloats), texels(asBytes)));
    check("drawn", differing(drawn(asFloats), drawn(asBytes)));

    // New colours in a few rectangles, the bytes uploaded by rectangle into the texture
    // that exists, the floats as a whole.
    const int rects[][4] = {{0, 0, 1, 1}, {10, 20, 37, 5}, {200, 230, 56, 26}, {0, 100, side, 3}};
    std::uniform_real_distribution<float> any(-0.1f, 1.1f);
    for (const auto& r : rects) {
        for (int y = r[1]; y < r[1] + r[3]; ++y)
            for (int x = r[0]; x < r[0] + r[2]; ++x)
                colours[y * side + x] = {any(rng), any(rng), any(rng)};
        rgbToRgba8(colours.data(), rgba.data(), side * side);
        uploadRgbaTexture(asBytes, rgba.data(), side, side, r[0], r[1], r[2], r[3]);
    }
    uploadRgbTexture(asFloats, colours.data(), side, side);
    check("after rectangles", differing(texels(asFloats), texels(asBytes)));
    check("drawn after rectangles", differing(drawn(asFloats), drawn(asBytes)));
    if (glGetError() != GL_NO_ERROR) {
        std::printf("OpenGL error\n");
        ++failures;
    }
    std::fflush(stdout);
    std::exit(failures == 0 ? 0 : 1);
}

void display()
{
    probe();
}

}  // namespace

int main(int argc, char** argv)
{
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE);
    glutInitWindowSize(side, side);
    glutCreateWindow("texture probe");
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, side, 0, side, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glutDisplayFunc(display);
    glutMainLoop();
    return 1;
}
