// Flat image: 2D overlay rectangles in pixel space, texture coordinate and colour passed on.
#version 120

void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
