// Post-processing: the window-sized rectangle in pixel space with its frame buffer coordinates.
#version 120

varying vec2 v_uv;

void main()
{
    v_uv = gl_MultiTexCoord0.st;
    gl_Position = ftransform();
}
