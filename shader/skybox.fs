// Sky box: the sky cube map, a sun disc with a glow, and haze toward the fog colour at the horizon.
#version 130
#extension GL_ARB_shader_texture_lod : enable

uniform samplerCube sky; // unit 0: the sky cube map

varying vec3 v_dir;
varying vec3 v_str;
flat in vec3 v_sun;
flat in vec2 v_glow;

void main()
{
    vec3 d = normalize(v_dir);
#ifdef GL_ARB_shader_texture_lod
    // At this field of view a face texel covers more than a pixel (toward the cube's corners
    // about one pixel), so the top level is what is sampled anyway; naming it spares the level
    // computation and the second level in every pixel.
    vec3 c = textureCubeLod(sky, v_str, 0.0).rgb;
#else
    vec3 c = textureCube(sky, v_str).rgb;
#endif

    float cs = max(dot(d, v_sun), 0.0);
    float disc = smoothstep(0.9990, 0.9995, cs);
    // cs^48 and cs^6 by repeated squaring: the same powers for a fraction of pow's cost
    float c6 = cs * cs * cs;
    c6 *= c6;
    float c48 = c6 * c6;
    c48 *= c48;
    c48 *= c48;
    float glow = c48 * v_glow.x + c6 * v_glow.y;
    c = c + vec3(1.0, 0.93, 0.8) * glow;
    c = mix(c, vec3(1.0, 0.97, 0.9), disc);

    // Meet the fogged terrain at the horizon. GL's untouched fog colour is (0,0,0,0); world
    // loading sets alpha 1 only when fog is on, so without fog the mix keeps the sky as it is.
    float h = 1.0 - smoothstep(0.0, 0.25, d.y);
    c = mix(c, gl_Fog.color.rgb, h * 0.85 * gl_Fog.color.a);
    gl_FragColor = vec4(c, 1.0);
}
