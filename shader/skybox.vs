// Sky box: the cube around the camera; its positions give the world direction of each fragment.
// What is the same all over the sky (the sun's direction, the glow's strength) is worked out
// here, once per corner, rather than for every pixel.
#version 130

uniform float time;  // seconds since start
uniform vec3 camdir; // camera view direction
uniform vec3 sundir; // direction the sunlight travels (it points down, away from the sun)

varying vec3 v_dir;  // world-space direction from the camera
varying vec3 v_str;  // the cube map coordinates: three interpolated values, not the four of gl_TexCoord
flat out vec3 v_sun;  // unit vector toward the sun, the same at every corner: not interpolated
flat out vec2 v_glow; // strength of the tight glow (it breathes slowly) and of the wide one

void main()
{
    v_dir = gl_Vertex.xyz; // the cube is only translated to the camera, never turned
    v_sun = normalize(-sundir);
    // the wide glow grows when the player looks toward the sun
    float facing = max(dot(normalize(camdir), v_sun), 0.0);
    v_glow = vec2(0.30 + 0.05 * sin(time * 0.7), 0.12 * facing);
    v_str = gl_MultiTexCoord0.stp;
    gl_Position = ftransform();
}
