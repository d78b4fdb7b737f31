#include "imageopen/TextureImageRect.h"

#include "imageopen/GlErrorCheck.h"

namespace {

void specifyRgbTexture(GLenum target, GLuint& texture, const void* data, int width, int height)
{
    if (texture == 0) glGenTextures(1, &texture);
    glBindTexture(target, texture);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexImage2D(target, 0, GL_RGB, width, height, 0, GL_RGB, GL_FLOAT, data);
    // The environment mode belongs to the texture unit, not the texture: setting
    // it here leaves it in place for every later draw.
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_REPLACE));
    glBindTexture(target, 0);
}

}  // namespace

template <typename T>
TextureImageRect<T>::~TextureImageRect()
{
    if (texture != 0) glDeleteTextures(1, &texture);
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

void drawTextureQuad(GLuint texture, int width, int height)
{
    if (texture == 0) return;
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
