// World items: billboards and trees swaying in the wind, with the view direction for the sky tint.
#version 120

uniform vec3 wdir;          // wind direction, horizontal unit vector
uniform float wstr;         // gust strength, within +-0.0275
uniform mat4 camera_matrix; // eye-to-world rotation: columns right, up, -dir
uniform float cam_height;   // camera y in world units

varying vec3 v_view;        // world-space direction from the eye to the vertex
varying float v_height;     // vertex height relative to the camera, world units
varying float v_base;       // 1 at the foot of a quad, 0 at its top
varying vec3 v_eye;         // eye-space position: fog distance per fragment, exact on big polygons

void main()
{
    // Billboards arrive in world space (the model-view is the camera alone); trees arrive in
    // their own space, a unit-diagonal tree standing on the origin that the model-view scales
    // by its height. Crossed quads show their image upright, so the top row has the smaller t:
    // the foot stays planted while the crown follows the wind. A tree bends with its own height.
    float scale = length(gl_ModelViewMatrix[0].xyz);
    float top;
    vec4 v = gl_Vertex;
    if (abs(scale - 1.0) > 0.01) {
        top = clamp(v.y, 0.0, 1.0);
        top *= top;
        v.xyz += wdir * (wstr * 1.5 * top);
    } else {
        top = clamp(1.0 - gl_MultiTexCoord0.t, 0.0, 1.0);
        v.xyz += wdir * (wstr * 18.0 * top);
    }

    vec4 eye = gl_ModelViewMatrix * v;
    vec3 world = (camera_matrix * vec4(eye.xyz, 0.0)).xyz;
    v_view = world;
    v_height = world.y;
    v_base = 1.0 - top;

    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    v_eye = eye.xyz;
    gl_Position = gl_ModelViewProjectionMatrix * v;
}
