// What the mouse buttons throw into the scene: balls while the left button is held, a
// burning bomb per middle click, a plank per right click. Each leaves the camera along
// the viewing direction at 10 units per second.
#pragma once

// Loop step 4: checks the three buttons in this order and spawns.
void spawnFromMouse();

// The numbers of the last spawned object and of the last bomb's light, emitter and sound
// (-1 before the first).
struct LastSpawned {
    int object = -1;
    int light = -1, emitter = -1, sound = -1;
};
const LastSpawned& lastSpawned();
