// Post-processing: the window-sized rectangle in pixel space with its frame buffer coordinates.
#version 120

void main()
{
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = ftransform();
}
