// Terrain: fixed-function transform; the texture and fog come from the GL state of the pass.
#version 120

varying vec3 v_eye; // eye-space position: fog distance per fragment, exact on big polygons

void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    v_eye = eye.xyz;
    gl_Position = ftransform();
}
