#version 120
// The terrain. Every texel of the level texture is one material colour (nearest filtering, so
// exact bytes); each material gets its look here. Air stays clear so the background shows, and
// so does free water: the water renderer draws it where the particles are now, while these
// texels only mark where it started. Everything is worked out at the centre of the texel the
// pixel shows, so a texel has one look however the view scales and moves it, and the look can
// be kept per texel (worldcache.frag draws it from there).

uniform sampler2D texture;          // the level surface
uniform float texelsX;              // its width and height in texels
uniform float texelsY;
uniform float waterLevel;           // share of the height, from the bottom, under the water line
uniform vec4 waterColor;
uniform vec4 staticWaterColor;
uniform vec4 airColor;
uniform vec4 destructibleColor;
uniform vec4 indestructibleColor;
uniform vec4 explosiveColor;
uniform vec4 ladderColor;

bool is_material(vec4 texel, vec4 material)
{
    // Both come from bytes: half a step apart is already another colour.
    return all(lessThan(abs(texel - material), vec4(0.5 / 255.0)));
}

float grain(vec2 cell)
{
    return fract(sin(dot(floor(cell), vec2(12.9898, 78.233))) * 43758.5453);
}

void main()
{
    vec2 texels = vec2(texelsX, texelsY);
    vec2 uv = (floor(gl_TexCoord[0].st * texels) + 0.5) / texels;
    vec4 texel = texture2D(texture, uv);
    if (is_material(texel, airColor) || is_material(texel, waterColor))
        discard;

    // Level pixels of the default 2048 x 1024 level; other sizes only scale the pattern.
    vec2 cell = uv * vec2(2048.0, 1024.0);
    float fine = grain(cell * 0.5);
    float coarse = grain(cell / 7.0);
    // Below the water line (0 at the line, growing downwards) the ground takes a blue cast.
    float depth = clamp((uv.y - (1.0 - waterLevel)) * 2.0, 0.0, 1.0);

    vec4 colour = texel;
    bool solid = true;
    if (is_material(texel, destructibleColor)) {
        colour.rgb = destructibleColor.rgb * (0.82 + 0.12 * coarse + 0.1 * fine);
    } else if (is_material(texel, indestructibleColor)) {
        float strata = 0.9 + 0.1 * sin(cell.y * 0.3 + coarse * 2.5);
        colour.rgb = indestructibleColor.rgb * strata * (0.85 + 0.2 * fine);
    } else if (is_material(texel, explosiveColor)) {
        float stripe = step(0.5, fract((cell.x + cell.y) / 12.0));
        colour.rgb = mix(explosiveColor.rgb, explosiveColor.rgb * 0.45, stripe * 0.6);
    } else if (is_material(texel, ladderColor)) {
        colour.rgb = ladderColor.rgb * (0.88 + 0.14 * fine);
    } else if (is_material(texel, staticWaterColor)) {
        float ripple = 0.93 + 0.07 * sin(cell.x * 0.06 + cell.y * 0.11);
        colour = vec4(staticWaterColor.rgb * ripple * (1.0 - 0.35 * depth), 0.72 * staticWaterColor.a);
        solid = false;
    }
    if (solid)
        colour.rgb = mix(colour.rgb, waterColor.rgb * 0.55, 0.3 * depth);

    gl_FragColor = colour * gl_Color;
}
