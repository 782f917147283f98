// World items: alpha-tested texture, tinted by the environment cube map, shaded at the foot, fogged.
#version 120

uniform sampler2D tex;       // unit 0: the item texture
uniform samplerCube cubemap; // unit 1: the environment cube map
uniform float cam_height;

varying vec3 v_view;
varying float v_height;
varying float v_base;
varying vec3 v_eye;

void main()
{
    vec4 c = texture2D(tex, gl_TexCoord[0].st) * gl_Color;
    if (c.a <= 0.5)
        discard;

    // The environment colour seen past the item: crowns above the eye and items on high
    // ground (absolute height cam_height + v_height) catch more of the sky.
    vec3 env = textureCube(cubemap, normalize(v_view)).rgb;
    float k = 0.12 + 0.12 * clamp(v_height / 10.0, 0.0, 1.0)
            + 0.06 * clamp((cam_height + v_height) / 20.0, 0.0, 1.0);
    c.rgb = mix(c.rgb, c.rgb * env * 1.6, k);
    c.rgb *= mix(1.0, 0.8, v_base);

    if (gl_Fog.color.a > 0.0) {
        float f = clamp((gl_Fog.end - length(v_eye)) * gl_Fog.scale, 0.0, 1.0);
        c.rgb = mix(gl_Fog.color.rgb, c.rgb, f);
    }
    gl_FragColor = c;
}
