#include "imageopen/TextureImageRect.h"

#include "imageopen/GlErrorCheck.h"

namespace {

void specifyRgbTexture(GLenum target, GLuint& texture, const void* data, int width, int height,
                       GLint internalFormat = GL_RGB, GLenum format = GL_RGB, GLenum type = GL_FLOAT)
{
    if (texture == 0)
        glGenTextures(1, &texture);
    glBindTexture(target, texture);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexImage2D(target, 0, internalFormat, width, height, 0, format, type, data);
    // The environment mode belongs to the texture unit, not the texture: setting
    // it here leaves it in place for every later draw.
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_REPLACE));
    glBindTexture(target, 0);
}

}  // namespace

template <typename T>
TextureImageRect<T>::~TextureImageRect()
{
    if (texture != 0)
        glDeleteTextures(1, &texture);
}

template <typename T>
void TextureImageRect<T>::uploadTexture()
{
    CHECK_GL_ERROR();
    specifyRgbTexture(target, texture, this->data.get(), this->width, this->height);
    CHECK_GL_ERROR();
}

template class TextureImageRect<MyAlgebra::vec3>;
template class TextureImageRect<float>;

void uploadRgbTexture(GLuint& texture, const MyAlgebra::vec3* data, int width, int height)
{
    specifyRgbTexture(GL_TEXTURE_2D, texture, data, width, height);
}

void uploadRgbaTexture(GLuint& texture, const std::uint32_t* rgba, int width, int height, int x, int y, int w, int h)
{
    GLint heldWidth = 0, heldHeight = 0;
    if (texture != 0) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &heldWidth);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &heldHeight);
    }
    if (heldWidth != width || heldHeight != height) {
        // Stored as the bytes come, so that uploads are plain copies. Its alpha of 1 goes
        // nowhere: the quad is drawn without blending, and the screen shows RGB.
        specifyRgbTexture(GL_TEXTURE_2D, texture, rgba, width, height, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE);
        return;
    }
    // Into the storage the texture has; the rows of the rectangle are read out of the
    // whole image.
    glPixelStorei(GL_UNPACK_ROW_LENGTH, width);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, x);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, y);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void drawTextureQuad(GLuint texture, int width, int height)
{
    if (texture == 0)
        return;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4f(1, 1, 1, 0.5f);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2i(0, 0);
    glTexCoord2f(1, 0);
    glVertex2i(width, 0);
    glTexCoord2f(1, 1);
    glVertex2i(width, height);
    glTexCoord2f(0, 1);
    glVertex2i(0, height);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}
