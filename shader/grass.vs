// Grass: tufts bend along the wind and thin out toward the edge of the grass field.
#version 120

uniform vec3 campos; // camera position, world units
uniform vec3 wdir;   // wind direction, horizontal unit vector
uniform float wstr;  // gust strength, within +-0.04

varying float v_fade; // 1 near the camera, 0 at the far edge of the field
varying vec3 v_eye; // eye-space position: fog distance per fragment, exact on big polygons

// The field reaches at least 40 units from the camera in every direction; fade before that
// so that patches built and dropped at a boundary never pop.
const float FADE_START = 22.0;
const float FADE_END = 38.0;

void main()
{
    vec4 v = gl_Vertex; // tufts are built in world space
    float top = clamp(1.0 - gl_MultiTexCoord0.t, 0.0, 1.0);
    float d = length(v.xz - campos.xz);
    v_fade = 1.0 - smoothstep(FADE_START, FADE_END, d);

    // A per-tuft phase keeps neighbours from bending in lockstep; it varies slowly over
    // space, so the four corners of one quad agree.
    float phase = sin(dot(v.xz, vec2(0.37, 0.23)));
    v.xyz += wdir * (wstr * 9.0 * top * (0.75 + 0.25 * phase));

    vec4 eye = gl_ModelViewMatrix * v;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    v_eye = eye.xyz;
    gl_Position = gl_ModelViewProjectionMatrix * v;
}
