// Flat colour: the interpolated vertex colour, alpha included (rain streaks blend with it).
#version 120

void main()
{
    gl_FragColor = gl_Color;
}
