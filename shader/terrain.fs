// Terrain: the texture bound on unit 0 under linear fog.
#version 120

uniform sampler2D tex;

varying vec2 v_uv;
varying vec3 v_eye;

void main()
{
    vec4 c = texture2D(tex, v_uv);
    // GL's untouched fog colour is (0,0,0,0); world loading sets alpha 1 only when fog is on.
    if (gl_Fog.color.a > 0.0) {
        float f = clamp((gl_Fog.end - length(v_eye)) * gl_Fog.scale, 0.0, 1.0);
        c.rgb = mix(gl_Fog.color.rgb, c.rgb, f);
    }
    gl_FragColor = c;
}
