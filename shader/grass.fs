// Grass: alpha-tested tuft texture, darker at the foot, fogged (shade and fog folded into v_mul
// and v_add by the vertex shader).
#version 120

uniform sampler2D tex;

varying vec2 v_uv;
varying vec3 v_mul;
varying vec3 v_add;

// The alpha test the frame leaves on (greater than 0.5) cuts the tuft out; a discard here would
// drop the same fragments at a higher cost to the software rasteriser.
void main()
{
    vec4 c = texture2D(tex, v_uv);
    gl_FragColor = vec4(c.rgb * v_mul + v_add, c.a);
}
