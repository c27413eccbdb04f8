#ifdef GL_ES
precision mediump float;
#endif
uniform highp vec3 lightPos;
uniform mediump vec3 lightColor;
uniform mediump vec3 objectColor;
uniform mediump int mType;
uniform highp vec3 volume;
uniform mediump int isLookingUp;
varying highp vec3 FragPos;
varying highp vec3 vNormal;
varying highp vec3 rNormal;

void main()
{
    // The outline box and the grid: flat colour.
    if (mType == 100) {
        gl_FragColor = vec4(objectColor, 1.0);
        return;
    }
    vec3 ambient = 0.2 * lightColor;
    float diff = max(dot(normalize(vNormal), normalize(lightPos - FragPos)), 0.0);
    vec4 color = vec4((ambient + diff * lightColor) * objectColor, 1.0);
    // A face resting on the plate.
    if (mType == 0 && FragPos.z == 0.0)
        color = vec4(0.0, 153.0 / 255.0, 0.0, 1.0);
    // The plate is not seen from below.
    if (mType == 5) {
        if (isLookingUp > 0)
            discard;
        color = vec4(objectColor, 1.0);
    }
    // From below, a support base shows only its sides, faintly.
    if (mType == 2 && isLookingUp > 0) {
        if (rNormal.z != 0.0)
            discard;
        color = vec4(color.rgb * 0.1, 0.1);
    }
    // Outside the build volume.
    if (FragPos.x > volume.x / 2.0 || -FragPos.x > volume.x / 2.0 || FragPos.y > volume.y / 2.0 ||
        -FragPos.y > volume.y / 2.0 || FragPos.z > volume.z || FragPos.z < 0.0)
        color.r = 1.0;
    gl_FragColor = color;
}
