// Terrain: fixed-function transform; the texture and fog come from the GL state of the pass.
#version 120

void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_FogFragCoord = length(eye.xyz);
    gl_Position = ftransform();
}
