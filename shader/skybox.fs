// Sky box: the sky cube map, a sun disc with a glow, and haze toward the fog colour at the horizon.
#version 120

uniform samplerCube sky; // unit 0: the sky cube map
uniform float time;      // seconds since start
uniform vec3 camdir;     // camera view direction
uniform vec3 sundir;     // direction the sunlight travels (it points down, away from the sun)

varying vec3 v_dir;

void main()
{
    vec3 d = normalize(v_dir);
    vec3 sun = normalize(-sundir);
    vec3 c = textureCube(sky, gl_TexCoord[0].stp).rgb;

    float cs = max(dot(d, sun), 0.0);
    float disc = smoothstep(0.9990, 0.9995, cs);
    // The glow breathes slowly and grows when the player looks toward the sun.
    float facing = max(dot(normalize(camdir), sun), 0.0);
    float glow = pow(cs, 48.0) * (0.30 + 0.05 * sin(time * 0.7)) + pow(cs, 6.0) * 0.12 * facing;
    c = c + vec3(1.0, 0.93, 0.8) * glow;
    c = mix(c, vec3(1.0, 0.97, 0.9), disc);

    // Meet the fogged terrain at the horizon.
    if (gl_Fog.color.a > 0.0) {
        float h = 1.0 - smoothstep(0.0, 0.25, d.y);
        c = mix(c, gl_Fog.color.rgb, h * 0.85);
    }
    gl_FragColor = vec4(c, 1.0);
}
