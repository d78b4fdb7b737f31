#pragma once

#include <type_traits>

namespace MyAlgebra {

// Three packed floats: (R, G, B) or (L*, a*, b*). Arrays of it are handed as raw
// memory to the image decoder and to OpenGL (GL_RGB / GL_FLOAT), so the layout
// must stay exactly three floats with nothing else.
struct vec3 {
    float x;
    float y;
    float z;
};

static_assert(sizeof(vec3) == 3 * sizeof(float), "vec3 must be three packed floats");
static_assert(std::is_trivially_copyable<vec3>::value, "vec3 is copied byte for byte");

}  // namespace MyAlgebra
