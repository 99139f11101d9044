#version 120
// The scale pass of the water: one texel per occupancy cell, whose alpha says how much water it
// holds. Each cell becomes a weighted mean of its 3 x 3 neighbourhood, so that the water shader,
// which reads this result stretched over the level, finds round edges instead of square cells.

uniform sampler2D texture;   // the occupancy, one texel per cell
uniform float texturesize;   // cells a side

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    float texel = 1.0 / texturesize;
    float sum = 0.0;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            float weight = (dx == 0 ? 2.0 : 1.0) * (dy == 0 ? 2.0 : 1.0);
            sum += weight * texture2D(texture, uv + vec2(float(dx), float(dy)) * texel).a;
        }
    }
    float water = sum / 16.0;
    // Kept in the colour, opaque, so that blending into the cleared target leaves it as it is.
    gl_FragColor = vec4(water, water, water, 1.0);
}
