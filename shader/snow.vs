// Snow: flakes fall and drift, wrapping around inside a cube of half-width randrad that travels with the camera.
#version 120

uniform int time;       // milliseconds (tick count of the last update step, minus a pass offset)
uniform float randrad;  // half-width of the flake cube; the flakes are uploaded within it

varying float v_alpha;

const float FALL_SPEED = 2.0;     // units per second
const int DRIFT_PERIOD = 6000;    // ms for one loop of the sideways drift
const float DRIFT = 0.7;          // units
const float EDGE = 4.0;           // flakes fade out this close to a face of the cube

// Tick counts run far beyond what a float holds to the millisecond, so the periods are
// reduced in integers first; the first frame sees times just below zero.
int imod(int a, int b)
{
    int r = a - (a / b) * b;
    return r < 0 ? r + b : r;
}

void main()
{
    float size = 2.0 * randrad;
    int fall_period = int(size / FALL_SPEED * 1000.0 + 0.5);
    float fall = float(imod(time, fall_period)) / float(fall_period) * size;
    float turn = float(imod(time, DRIFT_PERIOD)) / float(DRIFT_PERIOD) * 6.2831853;

    vec3 p = gl_Vertex.xyz;
    // A phase that varies slowly over space: the four corners of one flake move together.
    float phase = dot(p, vec3(0.13, 0.05, 0.09));
    p.x += DRIFT * sin(turn + phase);
    p.z += DRIFT * cos(turn + phase);
    p.y -= fall;
    p = mod(p + randrad, size) - randrad;

    // A flake that straddles a face is torn across the cube by the wrap; its corners all lie
    // at the faces, where the fade hides it.
    vec3 a = abs(p);
    float edge = max(a.x, max(a.y, a.z));
    v_alpha = gl_Color.a * (1.0 - smoothstep(randrad - EDGE, randrad, edge));

    gl_FrontColor = gl_Color;
    gl_Position = gl_ModelViewProjectionMatrix * vec4(p, 1.0);
}
