#ifdef GL_ES
precision mediump float;
#endif
uniform mediump int points;
uniform mediump vec3 color;

void main()
{
    // A marker: a round dot with a darker rim, so that it stands out on red parts as well.
    if (points > 0) {
        highp float r = length(gl_PointCoord - vec2(0.5)) * 2.0;
        if (r > 1.0)
            discard;
        gl_FragColor = vec4(r > 0.72 ? color * 0.4 : color, 1.0);
        return;
    }
    gl_FragColor = vec4(color, 1.0);
}
