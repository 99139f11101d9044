#version 120
// The surface of the static water: the terrain shader draws the still water itself, this pass
// adds a light, shimmering line along its top, where open space lies one or two pixels above.

uniform sampler2D texture;   // opaque white except over static water (nearest filtering)
uniform float size_x;        // level width in pixels
uniform float size_y;        // level height in pixels

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    if (texture2D(texture, uv).a > 0.5)
        discard;
    float row = 1.0 / size_y;
    float above = max(texture2D(texture, uv - vec2(0.0, row)).a,
                      texture2D(texture, uv - vec2(0.0, 2.0 * row)).a);
    if (above < 0.5)
        discard;
    float shimmer = 0.75 + 0.25 * sin(uv.x * size_x * 0.2);
    gl_FragColor = vec4(0.8, 0.9, 1.0, 0.7 * shimmer) * gl_Color;
}
