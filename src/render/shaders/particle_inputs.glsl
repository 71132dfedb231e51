layout(location = 0) in vec4 vVertex;
layout(location = 2) in vec2 vTexCoord0;
layout(location = 4) in vec4 vColor;
layout(location = 7) in vec4 vPosition;
layout(location = 8) in float fSize;
