// Post-processing: every scene colour is replaced by its entry in the 16x16x16 colour table.
#version 120

uniform sampler2D framebuffer; // unit 0: the off-screen scene
uniform sampler3D clut;        // unit 1: the colour table, red along s, green along t, blue along r

varying vec2 v_uv; // the frame's texture coordinates: two interpolated values, not four

void main()
{
    vec3 c = texture2D(framebuffer, v_uv).rgb;
    // Texel centres of a 16-wide table lie at (i + 0.5) / 16: map 0..1 onto the first and last
    // centres so linear filtering interpolates between lattice points only.
    vec3 g = texture3D(clut, c * (15.0 / 16.0) + 1.0 / 32.0).rgb;
    gl_FragColor = vec4(g, 1.0);
}
