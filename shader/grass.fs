// Grass: alpha-tested tuft texture, darker at the foot, fogged.
#version 120

uniform sampler2D tex;

varying float v_shade;
varying float v_fog;

void main()
{
    vec4 c = texture2D(tex, gl_TexCoord[0].st);
    if (c.a <= 0.5)
        discard;
    c.rgb *= v_shade * gl_Color.rgb;
    // GL's untouched fog colour is (0,0,0,0); world loading sets alpha 1 only when fog is on.
    if (gl_Fog.color.a > 0.0)
        c.rgb = mix(gl_Fog.color.rgb, c.rgb, v_fog);
    gl_FragColor = c;
}
