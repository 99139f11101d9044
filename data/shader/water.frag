#version 120
// The free water over the level: the smoothed occupancy of the scale pass, stretched to the
// level's size (linear filtering rounds it further). Where at least half a cell's worth of water
// is, the water is drawn, lighter towards its edge, with a slow ripple by world position.

uniform sampler2D texture;   // the scale pass: red = share of water
uniform float texturesize;   // world pixels a side of that texture

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    float water = texture2D(texture, uv).r;
    if (water < 0.5)
        discard;
    vec2 world = uv * texturesize;
    float edge = 1.0 - smoothstep(0.5, 0.7, water);
    float ripple = 0.5 + 0.5 * sin(world.x * 0.15 + world.y * 0.05);
    vec3 deep = vec3(0.10, 0.30, 0.75);
    vec3 light = vec3(0.55, 0.75, 1.0);
    vec3 colour = mix(deep, light, clamp(edge + 0.08 * ripple, 0.0, 1.0));
    gl_FragColor = vec4(colour, 0.8) * gl_Color;
}
