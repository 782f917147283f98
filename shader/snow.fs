// Snow: flat flake colour; the pass alpha fades the flakes near the faces of their cube.
#version 120

varying float v_alpha;

void main()
{
    gl_FragColor = vec4(gl_Color.rgb, v_alpha);
}
