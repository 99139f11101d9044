#version 120
// A player's frame. The grey parts of the sheet (the suit) take the player's colour, the rest
// keeps its own. A player in its spawn protection pulses; an invisible player is drawn faint
// (only its own participant sees it at all).

uniform sampler2D texture;         // the player sheet
uniform vec3 playerColor;          // the player's colour, 0..1
uniform bool invisible;
uniform float spawnProtectionTime; // seconds of protection left; 0 or less: none

void main()
{
    vec4 texel = texture2D(texture, gl_TexCoord[0].st);
    float brightest = max(texel.r, max(texel.g, texel.b));
    float saturation = brightest - min(texel.r, min(texel.g, texel.b));
    float suit = (1.0 - smoothstep(0.06, 0.2, saturation)) * step(0.2, brightest);
    vec3 tinted = clamp(texel.rgb * playerColor * 1.35, 0.0, 1.0);
    vec3 rgb = mix(texel.rgb, tinted, suit);

    float alpha = texel.a * gl_Color.a;
    if (spawnProtectionTime > 0.0)
        alpha *= 0.55 + 0.45 * abs(sin(spawnProtectionTime * 12.0));
    if (invisible)
        alpha *= 0.35;
    gl_FragColor = vec4(rgb, alpha);
}
