attribute highp vec3 vertex;
uniform highp mat4 mvp;
uniform highp float pointSizePx;

void main()
{
    gl_Position = mvp * vec4(vertex, 1.0);
    gl_PointSize = pointSizePx;
}
