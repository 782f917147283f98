// Grass: tufts bend along the wind and thin out toward the edge of the grass field; shading and
// fog are worked out per vertex, as the small overlapping cards make fragments the cost.
#version 120

uniform vec3 campos; // camera position, world units
uniform vec3 wdir;   // wind direction, horizontal unit vector
uniform float wstr;  // gust strength, within +-0.04

varying float v_fade;  // 1 near the camera, 0 at the far edge of the field
varying float v_shade; // darker at the foot, where the tufts shade each other
varying float v_fog;   // linear fog factor: 1 clear, 0 all fog

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
    v_shade = 0.75 + 0.25 * top;

    // A per-tuft phase keeps neighbours from bending in lockstep; it varies slowly over
    // space, so the four corners of one quad agree.
    float phase = sin(dot(v.xz, vec2(0.37, 0.23)));
    v.xyz += wdir * (wstr * 9.0 * top * (0.75 + 0.25 * phase));

    vec4 eye = gl_ModelViewMatrix * v;
    v_fog = clamp((gl_Fog.end - length(eye.xyz)) * gl_Fog.scale, 0.0, 1.0);
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_Position = gl_ModelViewProjectionMatrix * v;
}
