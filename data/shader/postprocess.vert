#version 120
// Pass-through for the full-window quad; the fragment shader also links on its own against
// the fixed-function vertex stage.

void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
