// World items: billboards and trees swaying in the wind; the sky tint and the fog are worked out
// per vertex, which keeps the fragment work of many overlapping cut-out cards small.
#version 120

uniform vec3 wdir;          // wind direction, horizontal unit vector
uniform float wstr;         // gust strength, within +-0.0275
uniform mat4 camera_matrix; // eye-to-world rotation: columns right, up, -dir
uniform float cam_height;   // camera y in world units
uniform float tree;         // 1 while procedural trees draw, 0 for billboard batches

uniform samplerCube cubemap; // unit 1: the environment cube map

// The fragment is texture * v_mul + v_add: the vertex colour, the sky tint, the foot shading
// and the fog folded into one multiply-add, as the many overlapping cut-out cards make every
// varying and every operation per fragment count.
varying vec2 v_uv; // the texture coordinates: two interpolated values, not the four of gl_TexCoord
varying vec3 v_mul; // the colour's alpha is 1 in every pass that draws items
varying vec3 v_add;

void main()
{
    // Billboards arrive in world space (the model-view is the camera alone); trees arrive in
    // their own space, a unit-diagonal tree standing on the origin that the model-view scales
    // by its height. Crossed quads show their image upright, so the top row has the smaller t:
    // the foot stays planted while the crown follows the wind. A tree bends with its own height,
    // and its leaf cards flutter a little on top of that, each card at its own phase.
    float top;
    vec4 v = gl_Vertex;
    if (tree > 0.5) {
        top = clamp(v.y, 0.0, 1.0);
        top *= top;
        float flutter = sin(dot(v.xyz, vec3(37.0, 23.0, 31.0)) + wstr * 400.0);
        v.xyz += wdir * (wstr * (1.5 + 0.5 * flutter) * top);
    } else {
        top = clamp(1.0 - gl_MultiTexCoord0.t, 0.0, 1.0);
        v.xyz += wdir * (wstr * 18.0 * top);
    }

    vec4 eye = gl_ModelViewMatrix * v;
    vec3 world = (camera_matrix * vec4(eye.xyz, 0.0)).xyz;
    // The environment colour seen past the item: crowns above the eye and items on high
    // ground (absolute height cam_height + world.y) catch more of the sky.
    vec3 env = textureCubeLod(cubemap, normalize(world), 0.0).rgb;
    float k = 0.12 + 0.12 * clamp(world.y / 10.0, 0.0, 1.0)
            + 0.06 * clamp((cam_height + world.y) / 20.0, 0.0, 1.0);
    vec3 tint = mix(vec3(1.0), env * 1.6, k) * mix(1.0, 0.8, 1.0 - top);
    // linear fog factor: 1 clear, 0 all fog. GL's untouched fog colour is (0,0,0,0); world
    // loading sets alpha 1 only when fog is on.
    float fog = gl_Fog.color.a > 0.0 ? clamp((gl_Fog.end - length(eye.xyz)) * gl_Fog.scale, 0.0, 1.0) : 1.0;
    // mix(fog colour, c * tint, fog) = c * (tint * fog) + fog colour * (1 - fog)
    v_mul = gl_Color.rgb * tint * fog;
    v_add = gl_Fog.color.a > 0.0 ? gl_Fog.color.rgb * (1.0 - fog) : vec3(0.0);

    v_uv = gl_MultiTexCoord0.st;
    gl_Position = gl_ModelViewProjectionMatrix * v;
}
