// Terrain: fixed-function transform; the texture and fog come from the GL state of the pass.
#version 120

varying vec2 v_uv;  // the texture coordinates: two interpolated values, not the four of gl_TexCoord
varying vec3 v_eye; // eye-space position: fog distance per fragment, exact on big polygons

void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    v_uv = gl_MultiTexCoord0.st;
    v_eye = eye.xyz;
    gl_Position = ftransform();
}
