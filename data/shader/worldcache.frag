#version 120
// The terrain drawn from the look world.frag gave each texel, kept in a texture of the level's
// size: read at the centre of the texel the pixel shows, worked out as world.frag works it out.
// What world.frag discards is clear there, which the alpha test drops again.

uniform sampler2D texture;  // the kept look
uniform float texelsX;      // the level's width and height in texels
uniform float texelsY;

void main()
{
    vec2 texels = vec2(texelsX, texelsY);
    vec2 uv = (floor(gl_TexCoord[0].st * texels) + 0.5) / texels;
    gl_FragColor = texture2D(texture, uv) * gl_Color;
}
