#version 120
// Full-window pass over the finished frame: the scene with the damage overlay faded in.
// With damagefade at 0 the scene passes through unchanged.

uniform sampler2D texture;         // the frame, bound by the framework
uniform sampler2D texture_damage;  // red edges, clear in the middle
uniform float damagefade;          // 0 = no flash, 1 = full flash

void main()
{
    vec4 scene = texture2D(texture, gl_TexCoord[0].st);
    vec4 damage = texture2D(texture_damage, gl_TexCoord[0].st);
    float amount = clamp(damagefade, 0.0, 1.0) * damage.a;
    // The flash tints the frame instead of covering it: a pixel keeps its brightness, so light
    // text on the HUD panels and the name labels stays readable through it.
    float light = dot(scene.rgb, vec3(0.299, 0.587, 0.114));
    vec3 tinted = damage.rgb * (0.4 + 0.6 * light) + vec3(0.6 * light * light);
    gl_FragColor = vec4(mix(scene.rgb, tinted, amount), mix(scene.a, 1.0, amount));
}
