// Snow: flakes fall and drift, folded into a box round the eye inside the cloud of half-width randrad.
#version 120

uniform int time;       // milliseconds (tick count of the last update step, minus a pass offset)
uniform float randrad;  // half-width of the cloud as uploaded; its centre stands 37.5 above the eye

varying float v_alpha;

// A flake farther than about 20 units is hardly bigger than a pixel, and one high above the
// eye is never in view; the cloud is folded into the box round the eye where flakes are seen,
// which makes the snowfall many times denser for the same flakes (and the same cost).
const float EYE = -37.5;          // the eye's height in cloud coordinates
const float BELOW = 10.0;         // the box reaches this far under the eye (the ground hides it)
const float ABOVE = 24.0;         // and this far over it
const float FALL_SPEED = 1.5;     // units per second
const int DRIFT_PERIOD = 6000;    // ms for one loop of the sideways drift
const float DRIFT = 0.7;          // units
const float EDGE = 4.0;           // flakes fade out this close to a face of the box
const float TORN = 0.2;           // a corner this close to a face may belong to a torn flake
const float NEAR = 2.0;           // flakes closer to the eye than this are not drawn: too big
const float NEAR_FADE = 5.0;      // and they fade in from there

// Tick counts run far beyond what a float holds to the millisecond, so the periods are
// reduced in integers first; the first frame sees times just below zero.
int imod(int a, int b)
{
    int r = a - (a / b) * b;
    return r < 0 ? r + b : r;
}

void main()
{
    float hw = 0.4 * randrad; // half-width of the box
    float height = BELOW + ABOVE;
    // the fall repeats after one box height, so folding never sees a jump
    int fall_period = int(height / FALL_SPEED * 1000.0 + 0.5);
    float fall = float(imod(time, fall_period)) / float(fall_period) * height;
    float turn = float(imod(time, DRIFT_PERIOD)) / float(DRIFT_PERIOD) * 6.2831853;

    vec3 p = gl_Vertex.xyz;
    // A phase that varies slowly over space: the four corners of one flake move together.
    float phase = dot(p, vec3(0.13, 0.05, 0.09));
    p.x += DRIFT * sin(turn + phase);
    p.z += DRIFT * cos(turn + phase);
    p.y -= fall;
    vec3 lo = vec3(-hw, EYE - BELOW, -hw);
    vec3 size = vec3(2.0 * hw, height, 2.0 * hw);
    p = mod(p - lo, size) + lo;

    vec3 d = min(p - lo, lo + size - p);
    float edge = min(d.x, min(d.y, d.z));
    float dist = length(p - vec3(0.0, EYE, 0.0));
    v_alpha = gl_Color.a * smoothstep(0.0, EDGE, edge) * smoothstep(NEAR, NEAR_FADE, dist);
    gl_FrontColor = gl_Color;
    gl_Position = gl_ModelViewProjectionMatrix * vec4(p, 1.0);
    // A flake that straddles a face is torn across the box by the fold; its corners all lie
    // at faces, and sending them to one point outside the view drops it before it is filled,
    // as it does the flakes that would cover half the screen.
    if (edge < TORN || dist < NEAR) gl_Position = vec4(0.0, 0.0, -2.0, 1.0);
}
