#pragma once

#include <GL/gl.h>

#include <cstdint>

#include "algebra/vec3.h"
#include "imageopen/ImageRect.h"

// An image that also owns an OpenGL texture. The name is created by the first
// upload, reused by later ones and deleted with the image.
template <typename T>
class TextureImageRect : public ImageRect<T> {
public:
    GLuint texture = 0;
    GLenum target = GL_TEXTURE_2D;

    TextureImageRect() = default;
    virtual ~TextureImageRect();

    // Uploads the pixels as a float RGB texture (linear filtering, clamped, no
    // mipmaps), reporting OpenGL errors before and after.
    void uploadTexture();
};

// Uploads width x height float RGB pixels into the texture, creating the name
// when it is 0. Same texture settings as uploadTexture, without error checks.
void uploadRgbTexture(GLuint& texture, const MyAlgebra::vec3* data, int width, int height);

// Uploads the rectangle x, y, w, h of a width x height 8-bit RGBA image (bytes R, G, B,
// A; rows from the bottom) into the texture. The whole texture is (re)specified when the
// name is 0 or its size differs; the rectangle alone otherwise. Same texture settings as
// uploadTexture, without error checks.
void uploadRgbaTexture(GLuint& texture, const std::uint32_t* rgba, int width, int height, int x, int y, int w, int h);

// Draws the texture on one quad from (0, 0) to (width, height); leaves texturing
// disabled and the binding at 0. Makes no OpenGL call for texture name 0.
void drawTextureQuad(GLuint texture, int width, int height);
