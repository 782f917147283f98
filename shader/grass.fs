// Grass: alpha-tested tuft texture, faded with distance from the camera, fogged.
#version 120

uniform sampler2D tex;

varying float v_fade;
varying vec3 v_eye;

void main()
{
    vec4 c = texture2D(tex, gl_TexCoord[0].st) * gl_Color;
    c.a *= v_fade;
    if (c.a <= 0.5)
        discard;
    // Darker at the foot, where the tufts shade each other.
    c.rgb *= 0.75 + 0.25 * clamp(1.0 - gl_TexCoord[0].t, 0.0, 1.0);
    if (gl_Fog.color.a > 0.0) {
        float f = clamp((gl_Fog.end - length(v_eye)) * gl_Fog.scale, 0.0, 1.0);
        c.rgb = mix(gl_Fog.color.rgb, c.rgb, f);
    }
    gl_FragColor = c;
}
