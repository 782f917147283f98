// Grass: tufts bend along the wind about their foot and thin out toward the edge of the grass
// field; shading and fog are worked out per vertex, as the small overlapping cards make
// fragments the cost.
#version 120

uniform vec3 campos; // camera position, world units
uniform vec3 wdir;   // wind direction, horizontal unit vector
uniform float wstr;  // gust strength, within +-0.04

// Every vertex of a tuft carries the tuft's foot (x, z) and its thinning rank in [0, 1) as its
// normal (gl_Normal = foot x, foot z, rank).
// The fragment colour is texture * v_mul + v_add: the vertex colour, the shade (darker at the
// foot, where the tufts shade each other) and the fog folded into one multiply-add.
varying vec2 v_uv; // the texture coordinates: two interpolated values, not the four of gl_TexCoord
varying vec3 v_mul;
varying vec3 v_add;

// The same numbers as GRASS_THIN_NEAR, GRASS_THIN_FAR and GRASS_THIN_RAMP in world/grass.h: a
// tuft of rank h stands up to NEAR + h * (FAR - NEAR) from the camera and shrinks to nothing
// over the last RAMP units. The far end stays inside the 40 units the field reaches on every
// side, so its border is never seen; a shrunk tuft has no area and costs no fragments.
const float THIN_NEAR = 10.0;
const float THIN_FAR = 36.0;
const float THIN_RAMP = 3.0;

void main()
{
    vec4 v = gl_Vertex; // tufts are built in world space
    vec2 foot = gl_Normal.xy;
    float rank = gl_Normal.z;
    float top = clamp(1.0 - gl_MultiTexCoord0.t, 0.0, 1.0);

    float d = length(foot - campos.xz);
    float reach = THIN_NEAR + rank * (THIN_FAR - THIN_NEAR);
    float keep = clamp((reach - d) / THIN_RAMP, 0.0, 1.0);
    // shrink toward the foot: narrower and lower until the cards are lines on the ground
    v.xz = foot + (v.xz - foot) * keep;
    v.y -= (1.0 - keep) * top * 0.8;

    // Each tuft sways at its own phase; the foot (top = 0) stays put.
    float phase = sin(dot(foot, vec2(0.37, 0.23)) + rank * 6.2832);
    v.xyz += wdir * (wstr * 9.0 * top * keep * (0.7 + 0.3 * phase));

    float shade = 0.72 + 0.28 * top;
    vec4 eye = gl_ModelViewMatrix * v;
    // linear fog factor: 1 clear, 0 all fog. GL's untouched fog colour is (0,0,0,0); world
    // loading sets alpha 1 only when fog is on.
    float fog = gl_Fog.color.a > 0.0 ? clamp((gl_Fog.end - length(eye.xyz)) * gl_Fog.scale, 0.0, 1.0) : 1.0;
    // mix(fog colour, c * shade, fog) = c * (shade * fog) + fog colour * (1 - fog)
    v_mul = gl_Color.rgb * (shade * fog);
    v_add = gl_Fog.color.a > 0.0 ? gl_Fog.color.rgb * (1.0 - fog) : vec3(0.0);
    v_uv = gl_MultiTexCoord0.st;
    gl_Position = gl_ModelViewProjectionMatrix * v;
}
