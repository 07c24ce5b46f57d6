// The one way this program includes OpenGL: GLEW first (it must come before
// any other GL header), then GLU. GLUT is included only where it is used.
#pragma once
#include <GL/glew.h>
#include <GL/glu.h>
