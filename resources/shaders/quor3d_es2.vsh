attribute highp vec3 vertex;
attribute highp vec3 aNormal;
uniform highp mat4 model;
uniform highp mat4 modelNormal;
uniform highp mat4 view;
uniform highp mat4 projection;
uniform mediump int mType;
varying highp vec3 FragPos;
varying highp vec3 vNormal;
varying highp vec3 rNormal;

void main()
{
    FragPos = vec3(model * vec4(vertex, 1.0));
    gl_Position = projection * view * vec4(FragPos, 1.0);
    vNormal = vec3(modelNormal * vec4(aNormal, 0.0));
    rNormal = aNormal;
}
