// Generic: fixed-function transform and vertex colour, for lines and debug boxes.
#version 120

void main()
{
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
