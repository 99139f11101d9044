#pragma once
#include <GL/glew.h>

// Whether the framebuffer-object functions were loaded; without GLEW they are null pointers.
inline bool framebuffer_functions_available() {
    return glGenFramebuffers && glBindFramebuffer && glFramebufferTexture2D && glFramebufferRenderbuffer &&
           glCheckFramebufferStatus && glDeleteFramebuffers && glGenRenderbuffers && glBindRenderbuffer &&
           glRenderbufferStorage && glDeleteRenderbuffers && glActiveTexture;
}
