// World items: alpha-tested texture, tinted by the sky and shaded at the foot, fogged (all three
// folded into v_mul and v_add by the vertex shader).
#version 120

uniform sampler2D tex; // unit 0: the item texture

varying vec2 v_uv;
varying vec3 v_mul;
varying vec3 v_add;

// The cut-out needs no discard here: the alpha test the frame leaves on (greater than 0.5)
// drops the same fragments, and a shader without one is cheaper for the software rasteriser.
void main()
{
    vec4 c = texture2D(tex, v_uv);
    gl_FragColor = vec4(c.rgb * v_mul + v_add, c.a);
}
