// Sky box: the cube around the camera; its positions give the world direction of each fragment.
#version 120

varying vec3 v_dir; // world-space direction from the camera

void main()
{
    v_dir = gl_Vertex.xyz; // the cube is only translated to the camera, never turned
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_Position = ftransform();
}
