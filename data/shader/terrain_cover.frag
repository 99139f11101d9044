#version 120
// Draws (into the depth buffer only) the terrain texels that the terrain shader paints fully
// opaque, before the layers behind the terrain: their pixels are then never shaded for the
// background, whose colour the opaque terrain would replace anyway.

uniform sampler2D texture;          // the level surface
uniform vec4 waterColor;
uniform vec4 staticWaterColor;
uniform vec4 airColor;

bool is_material(vec4 texel, vec4 material)
{
    return all(lessThan(abs(texel - material), vec4(0.5 / 255.0)));
}

void main()
{
    vec4 texel = texture2D(texture, gl_TexCoord[0].st);
    if (texel.a * gl_Color.a < 1.0 || is_material(texel, airColor) || is_material(texel, waterColor) ||
        is_material(texel, staticWaterColor))
        discard;
    gl_FragColor = texel;
}
